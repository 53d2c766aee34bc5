// The shipped car list against the unit list: every address of every car is
// the decimal number of a unit of the list, and the demo car lists the units
// the demo interface has.
#include "config/car_list.h"
#include "config/ini_file.h"
#include "config/strings.h"

#include <QDir>
#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QString dataFile(const QString& name) {
    return QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath(name);
}

// The decimal numbers the unit list's entries begin with ("023 [17] - ...").
QSet<int> listAddresses() {
    QSet<int> addresses;
    for (int id = 1001; id <= 1094; ++id)
        addresses.insert(LoadStr(id).left(3).toInt());
    return addresses;
}

} // namespace

TEST(ShippedCarList, EveryAddressIsAUnitOfTheList) {
    const IniFile autoscan = IniFile::open(dataFile(QStringLiteral("autoscan.ini")));
    ASSERT_TRUE(autoscan.isOpen());
    const QList<CarEntry> cars = ReadCarList(autoscan);
    ASSERT_GE(cars.size(), 2);
    const QSet<int> units = listAddresses();
    for (const CarEntry& car : cars) {
        SCOPED_TRACE(car.name.toStdString());
        EXPECT_FALSE(car.name.isEmpty());
        // Every item is read: none that stops the list early.
        const QList<int> addresses = CarAddresses(car.addressText);
        EXPECT_EQ(addresses.size(), car.addressText.split(QLatin1Char(',')).size());
        for (int address : addresses)
            EXPECT_TRUE(units.contains(address)) << address << " is no unit of the list";
        // The instrument cluster is 023 [17]; 17 is "017 [11] - Motor 2".
        EXPECT_FALSE(addresses.contains(17));
        EXPECT_EQ(QSet<int>(addresses.begin(), addresses.end()).size(), addresses.size());
    }
}

TEST(ShippedCarList, TheDemoCarListsTheDemoInterfacesUnits) {
    const QList<CarEntry> cars =
        ReadCarList(IniFile::open(dataFile(QStringLiteral("autoscan.ini"))));
    const auto demo = std::find_if(cars.begin(), cars.end(),
                                   [](const CarEntry& c) { return c.name == u"Demo car"; });
    ASSERT_NE(demo, cars.end());
    const QList<int> listed = CarAddresses(demo->addressText);

    const IniFile scenario = IniFile::open(dataFile(QStringLiteral("scenarios/demo_car.ini")));
    ASSERT_TRUE(scenario.isOpen());
    QSet<int> simulated;
    for (const QString& section : scenario.sectionNames())
        if (scenario.hasKey(section, QStringLiteral("Address")))
            simulated.insert(scenario.readString(section, QStringLiteral("Address"), {}).toInt());
    EXPECT_EQ(QSet<int>(listed.begin(), listed.end()), simulated);
    // Its instrument cluster sits where a real one does.
    EXPECT_TRUE(simulated.contains(0x17));
}
