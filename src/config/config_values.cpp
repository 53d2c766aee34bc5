#include "config/config_values.h"

#include "config/strings.h"

#include <cmath>

namespace {
const QString ConfigSection = QStringLiteral("Config");

QString configText(const IniFile& config, const QString& key) {
    return config.readString(ConfigSection, key).trimmed();
}
} // namespace

int ConfigInteger(const IniFile& config, const QString& key, int defaultValue) {
    bool ok = false;
    const int value = configText(config, key).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

int ConfigIntegerInRange(const IniFile& config, const QString& key, int defaultValue, int low,
                         int high, QStringList* refused, int languageOffset) {
    const int value = ConfigInteger(config, key, defaultValue);
    if (value >= low && value <= high)
        return value;
    if (refused)
        *refused << LoadStr(ReaderText::ValueOutOfRange + languageOffset)
                        .arg(key, configText(config, key),
                             QString::number(low) + QStringLiteral("..") + QString::number(high),
                             QString::number(defaultValue));
    return defaultValue;
}

double PointNumber(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok); // C locale, no group separators
    return ok && std::isfinite(value) ? value : 0.0;
}

ConfigValues ReadConfigValues(const IniFile& config) {
    ConfigValues v;
    if (!config.isOpen())
        return v;
    v.Port = configText(config, QStringLiteral("COM-Port"));
    v.English = configText(config, QStringLiteral("Sprache")) == QStringLiteral("en");
    const int lang = v.English ? EnglishStringOffset : 0;
    v.InterByteTime = ConfigIntegerInRange(config, QStringLiteral("IBT"), 5, MinTimingValue,
                                           MaxTimingValue, &v.refused, lang);
    v.BlockDelayTime = ConfigIntegerInRange(config, QStringLiteral("BDT"), 40, MinTimingValue,
                                            MaxTimingValue, &v.refused, lang);
    v.KLineBaud = ConfigInteger(config, QStringLiteral("Baud"), 0);
    v.Interface = configText(config, QStringLiteral("Schnittstelle"));
    const QString u2 = configText(config, QStringLiteral("U2"));
    v.U2Text = u2;
    v.Splash = configText(config, QStringLiteral("Splash")) != QStringLiteral("nein");
    v.U2Defined = !u2.isEmpty();
    v.U2 = PointNumber(u2);
    if (v.U2Defined)
        for (size_t n = 0; n < v.TV.size(); ++n)
            v.TV[n] = PointNumber(configText(config, QStringLiteral("TV") + QString::number(n)));
    return v;
}
