#pragma once
// An environment variable set for the lifetime of the object (XDG homes of a
// test's own), restored or removed afterwards.
#include <QByteArray>
#include <QString>
#include <optional>

class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv() {
        if (m_old)
            qputenv(m_name, *m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};
