#pragma once
// The plain-cable demo: a scenario's units on a virtual K-line that runs in
// real time, behind the software chip. Every page works through the same
// path a plain cable takes (software chip, protocol core, echo, 5-baud
// address, block complements), without a cable.
#include "link/port_factory.h"
#include "sim/kline_unit.h"
#include "softchip/soft_chip_stream.h"

#include <QString>
#include <memory>

// The demo's byte stream, named name; opening it loads the scenario (an
// unreadable one fails the open with the reason). Streams given the same
// memory talk to the same car.
std::unique_ptr<SoftChipStream> makeKLineDemoStream(const QString& name,
                                                    const QString& scenarioPath,
                                                    std::shared_ptr<KLineUnit::Memory> memory = {});
// The port factory's maker of that demo, for PortKind::DemoKLine: every
// stream it makes talks to the one car it keeps.
PortFactory::KindMaker KLineDemoMaker(const QString& scenarioPath);
