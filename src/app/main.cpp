// Vandrix: diagnosis of control units over a Vandrix Pro interface.
#include "link/port_factory.h"
#include "sim/kline_demo.h"
#include "sim/simulator_host.h"
#include "ui/application.h"
#include "ui/dialog_prompts.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/termination_signals.h"

int main(int argc, char** argv) {
    VandrixApplication app(argc, argv);
    DialogPrompts prompts;
    app.setPrompts(&prompts);

    // The demo interface runs only once its port entry is opened, and outlives
    // the window that uses it.
    SimulatorHost demo;
    // A user's demo answers as fast as a real interface can, not a thousand
    // times faster: a page polled flat out would burn a core and fill the
    // recordings folder.
    demo.setPaced(true);
    TForm1Options options;
    options.demoInterface = MakeDemoStarter(demo, SimulatorHost::defaultScenarioPath());
    options.demoReplay = [&demo](const QString& recording) {
        return MakeDemoStarter(demo, recording);
    };
    options.demoKLine = KLineDemoMaker(SimulatorHost::defaultScenarioPath());

    // The windows in the order the program has always made them; the main
    // window's start-up runs before the dialogs exist.
    TForm1 form1(prompts, options);
    prompts.setParentWidget(&form1);
    TForm2 form2(&form1);
    TForm3 form3(&form1);
    TForm4 form4(form1.state.LanguageOffset, &form1);
    prompts.setDialogs(&form2, &form3, &form4);

    // A signal ends a session as Disconnect does, then the window.
    TerminationSignals signalsTaken(form1);
    form1.show();
    const int status = app.exec();
    return signalsTaken.received() ? 128 + signalsTaken.received() : status;
}
