#include "config/config_values.h"

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
    v.InterByteTime = ConfigInteger(config, QStringLiteral("IBT"), 5);
    v.BlockDelayTime = ConfigInteger(config, QStringLiteral("BDT"), 40);
    v.KLineBaud = ConfigInteger(config, QStringLiteral("Baud"), 0);
    const QString u2 = configText(config, QStringLiteral("U2"));
    v.U2Defined = !u2.isEmpty();
    v.U2 = PointNumber(u2);
    if (v.U2Defined)
        for (size_t n = 0; n < v.TV.size(); ++n)
            v.TV[n] = PointNumber(configText(config, QStringLiteral("TV") + QString::number(n)));
    return v;
}
