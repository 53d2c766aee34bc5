// Which stream the session opens a port name as: Schnittstelle's three
// words, and in automatic mode the wake-up's echo, on scripted streams in
// memory (the "wire" a port name opens as, and the factory's plain-cable kind).
#include "link/memory_stream.h"
#include "session/diagnostic_session.h"
#include "support/qt_printers.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

struct Quiet : SessionObserver {};

QMap<QByteArray, QByteArray> chip() {
    return {{"", "\r>"},   {"ATZ", "\rVandrix Pro SW v1.0\r>"}, {"ATIBT05", ">"}, {"ATBDT28", ">"},
            {"ATN0", ">"}, {"ATD01", "CONNECT B6 P1\r"}};
}

std::unique_ptr<ByteStream> scripted(std::function<QByteArray(const QByteArray&)> answer) {
    auto stream = std::make_unique<MemoryByteStream>();
    stream->useVirtualClock();
    stream->setResponder(std::move(answer));
    return stream;
}

} // namespace

TEST(InterfaceKind, TheWordOrTheEchoChoosesTheStream) {
    const auto chipAnswer = [](const QByteArray& w) {
        return chip().value(w.chopped(w.endsWith('\r') ? 1 : 0), "ERROR\r>");
    };
    const auto echo = [](const QByteArray& w) { return w; };
    struct Case {
        const char* name;
        InterfaceKind kind;
        bool wireIsCable;
        bool connects;
        QStringList made;
    } cases[] = {
        {"auto, a cable", InterfaceKind::Auto, true, true, {"wire", "cable"}},
        {"auto, a chip", InterfaceKind::Auto, false, true, {"wire"}},
        {"chip, a cable: no guessing", InterfaceKind::Chip, true, false, {"wire"}},
        {"cable: no probe", InterfaceKind::Cable, false, true, {"cable"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList made;
        QList<QByteArray> onWire;
        PortFactory factory = PortFactory::custom([&](const QString&) {
            made << "wire";
            return scripted([&, c](const QByteArray& w) {
                onWire << w;
                return c.wireIsCable ? echo(w) : chipAnswer(w);
            });
        });
        factory.addKind(PortKind::PlainCable, nullptr, [&](const QString&, PortOpenError&) {
            made << "cable";
            return scripted(chipAnswer);
        });
        Quiet quiet;
        DiagnosticSession session(quiet);
        session.setPortFactory(factory);
        session.setInterfaceKind(c.kind);
        EXPECT_EQ(session.connect("/dev/ttyUSB0", 1), c.connects);
        EXPECT_EQ(made, c.made);
        // The probe is the wake-up itself: a cable found hears one CR only.
        if (c.made == QStringList{"wire", "cable"}) {
            EXPECT_EQ(onWire, QList<QByteArray>{"\r"});
        }
        session.closePort();
    }
}
