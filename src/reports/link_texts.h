#pragma once
// How both front ends word what the link and the services report as values:
// a port that did not open, a dialogue the interface broke off, the port
// list's entries, a fault read. The layers below hold no text.
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "link/port_factory.h"
#include "link/port_list.h"
#include "services/fault_codes.h"
#include "services/identification.h"

#include <QString>
#include <QStringList>

// The port list's entry of the simulated interface, in the user's language.
QString DemoInterfaceName(int languageOffset);
// Its names in every language: a configured "COM-Port" may hold either, and
// the port factory takes each as the demo.
QStringList DemoInterfaceNames();
// True for the demo entry in either language.
bool IsDemoInterfaceName(const QString& name);
// The same for the plain-cable demo ("Demo (K-line cable)").
QString DemoKLineName(int languageOffset);
QStringList DemoKLineNames();
bool IsDemoKLineName(const QString& name);
// Both demo entries as the port list ends with them.
QStringList DemoEntryNames(int languageOffset);

// The text the list shows for an entry: its path, and for a USB adapter the
// maker, product and serial number the system knows, and the kernel's name.
QString PortEntryText(const PortEntry& entry, int languageOffset);
// Only what is known of the adapter ("FTDI FT232R, serial no. A1, ttyUSB0");
// empty for a port that is no USB adapter.
QString PortAdapterText(const PortEntry& entry, int languageOffset);

// What the window says when the debug trace could not be written, with the
// system's reason on a second line.
QString TraceWriteFailureMessage(const QString& reason, int languageOffset);

// The string table id shown in place of fault rows: 40 "no errors stored",
// 68 for a unit without a fault read, the refusal's own text.
int FaultOutcomeMessageId(FaultReadOutcome outcome);

// The real reason a port did not open, in one sentence.
QString PortOpenReason(const PortOpenError& error, int languageOffset);
// What follows the reason: the advice for a permission the user can gain by
// joining the device's group (only when this process is not in it), else the
// system's or the simulator's own words; empty when there are none.
QString PortOpenDetail(const PortOpenError& error, int languageOffset);
// The window's box: portName, ": ", the text of id 300, then the real reason
// (and its detail) on a second line.
QString PortOpenMessage(const QString& portName, const PortOpenError& error, int languageOffset);
// The command line's: portName, ": " and the real reason, then the detail on
// a second line when there is one.
QString PortOpenHeadline(const QString& portName, const PortOpenError& error, int languageOffset);

// Who may open the device and what the user must do. ownerGroup is the
// device's group; empty or "root" means only the administrator can grant access.
QString PortPermissionHint(const QString& device, const QString& ownerGroup, int languageOffset);

// Why the dialogue broke off with "DATA ERROR".
QString DataErrorReasonText(DataErrorReason reason, int languageOffset);

// What failed on an open port (reading, writing) and the system's reason,
// with no function names of other systems.
QString PortFailureText(const ESerialPort& error, int languageOffset);

// The reason of a broken link in one sentence: the data error's or the
// port's; what() for anything else.
QString LinkFailureReason(const std::exception& error, int languageOffset);

// The line that says what a failed connection attempt saw; address is the unit's.
QString AttemptSeenText(const AttemptSeen& seen, int address, int languageOffset);

// Fills EXT and IMP of an identification with their labels in the user's
// language ("Gerät: 0001234" / "Tool: 0001234"), empty where the unit sent none.
void IdentificationTexts(TecuID& identification, int languageOffset);
