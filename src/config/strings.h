#pragma once
// The program's string table: every caption, label and message by number.
// German texts sit at their id, English ones at id + 10000; callers add the
// language offset chosen at start-up. Id 0, the version text, has no English
// twin and is always loaded as id 0.
#include <QString>

inline constexpr int EnglishStringOffset = 10000;

// The text of an absolute id; the empty text when the id has none.
QString LoadStr(int id);

// Texts the team added to the table, by what they say (German at the id,
// English at id + EnglishStringOffset).
namespace TeamText {
inline constexpr int AdapterLost = 2002;      // %1: the port
inline constexpr int LogWriteFailed = 2003;   // followed by the file and the reason
inline constexpr int PortSerialNumber = 2000; // %1: an adapter's serial number
inline constexpr int TraceWriteFailed = 2004; // followed by the reason
inline constexpr int DemoUnavailable = 2005;
inline constexpr int PortAdminOnly = 2006;    // %1: the device
inline constexpr int PortGroup = 2007;        // %1: the device, %2: its group
inline constexpr int DemoInterface = 2008;    // the demo entry of the port list
inline constexpr int LogFolderMissing = 2009; // %1: the folder
// The graph window, the change journal and the kept scans.
inline constexpr int GraphButton = 2010;
inline constexpr int GraphTitle = 2011;
inline constexpr int GraphPause = 2012;
inline constexpr int GraphFollow = 2013; // back to the newest span
inline constexpr int GraphSpan = 2014;
inline constexpr int GraphOpenLog = 2015;
inline constexpr int GraphTimeAxis = 2016;
inline constexpr int GraphNoUnit = 2017;     // axis of values without a unit
inline constexpr int GraphTextValues = 2018; // followed by the fields' names
inline constexpr int GraphLines = 2019;
inline constexpr int GraphNotALog = 2020;    // followed by the file
inline constexpr int GraphUnreadable = 2021; // followed by the file and the reason
inline constexpr int GraphRecording = 2022;
inline constexpr int GraphZoomHint = 2023;
inline constexpr int GraphWhole = 2024;             // a log's whole recording
inline constexpr int LastCodingChange = 2025;       // %1: before, %2: requested
inline constexpr int LastAdaptationChange = 2026;   // %1: channel, %2: before, %3: requested
inline constexpr int UndoTo = 2027;                 // %1: the earlier value
inline constexpr int ChangeDetails = 2028;          // %1: date and time, %2: workshop code
inline constexpr int JournalUnwritable = 2029;      // followed by the journal and the reason
inline constexpr int JournalResultUnwritten = 2030; // followed by the journal and the reason
inline constexpr int ChangeUndone = 2031;
inline constexpr int ScanSaved = 2032;           // %1: the file
inline constexpr int ScanNotSaved = 2033;        // %1: the file and the reason
inline constexpr int ScanUnitAppeared = 2034;    // %1: the unit
inline constexpr int ScanUnitDisappeared = 2035; // %1: the unit
inline constexpr int ScanFaultNew = 2036;        // %1: unit, %2: fault, %3: status
inline constexpr int ScanFaultGone = 2037;       // %1: unit, %2: fault, %3: status
inline constexpr int ScanStatusChanged = 2038;   // %1: unit, %2: fault, %3, %4: old and new status
inline constexpr int ScanOnlyOlder = 2039;       // %1: the unit
inline constexpr int ScanOnlyNewer = 2040;       // %1: the unit
inline constexpr int ScanNoDifference = 2041;
inline constexpr int First = 2002;
inline constexpr int Last = 2041;
} // namespace TeamText

// Texts of plain K-line cables, a block of their own.
namespace CableText {
inline constexpr int NoInterfaceHint = 2100;  // the line below message 306
inline constexpr int ConverterRefused = 2101; // %1: the converter's driver
inline constexpr int DemoKLine = 2102;        // the plain-cable demo entry of the port list
inline constexpr int CheckFound = 2103;       // %1: driver, %2: rate, %3: echo round trip in ms
inline constexpr int CheckSlowEcho = 2104;    // %1: echo round trip in ms
inline constexpr int CheckChip = 2105;        // the check found a chip interface
inline constexpr int InterfaceOption = 2106;  // vandrix-cli --interface
inline constexpr int InvalidInterface = 2107; // %1: the value given to --interface
inline constexpr int First = 2100;
inline constexpr int Last = 2107;
} // namespace CableText
// What the front ends say of the link's failures: why a port did not open,
// why the interface's dialogue broke off.
namespace LinkText {
inline constexpr int PortNoName = 2600;
inline constexpr int PortMissing = 2601;
inline constexpr int PortNotATerminal = 2602;
inline constexpr int PortBusy = 2603;
inline constexpr int PortPermission = 2604;
inline constexpr int PortNotOpened = 2605;
inline constexpr int DemoFailed = 2606;
inline constexpr int DataErrorWord = 2610; // the interface sent "DATA ERROR"
inline constexpr int DataSilence = 2611;   // nothing for 5 s
inline constexpr int DataNoPrompt = 2612;  // the reply's ">" never came
inline constexpr int DataEndlessLine = 2613;
// A port that failed while open: %1 is the system's reason.
inline constexpr int PortReadFailed = 2620;
inline constexpr int PortWriteFailed = 2621;
inline constexpr int PortDiscardFailed = 2622;
inline constexpr int PortSetupFailed = 2623;
inline constexpr int PortClosed = 2624; // no reason: the port was not open
inline constexpr int First = 2600;
inline constexpr int Last = 2624;
} // namespace LinkText

// Texts of the file readers and of the graph window's reading and export.
namespace ReaderText {
inline constexpr int FileMissing = 2400;        // %1: the file
inline constexpr int FileIsFolder = 2401;       // %1: the path
inline constexpr int FileTooLarge = 2402;       // %1: the file, %2: the limit ("16 MB")
inline constexpr int FileTooManyEntries = 2403; // %1: the file, %2: the limit
inline constexpr int FileUnreadable = 2404;     // %1: the file, %2: the system's reason
inline constexpr int ValueOutOfRange = 2405;    // %1: key, %2: value, %3: range, %4: default used
inline constexpr int GraphReading = 2406;       // progress while a log is read
inline constexpr int GraphCancel = 2407;
inline constexpr int GraphColumnsCut = 2408; // %1: columns shown, %2: columns in the log
inline constexpr int GraphRowsCut = 2409;    // %1: rows shown
inline constexpr int GraphSavePicture = 2410;
inline constexpr int GraphSaveReadings = 2411;
inline constexpr int GraphPictureFilter = 2412;
inline constexpr int GraphReadingsFilter = 2413;
inline constexpr int GraphNotWritten = 2414;   // %1: the file, %2: the system's reason
inline constexpr int GraphScales = 2415;       // title of the legend of scales
inline constexpr int GraphNoConnection = 2416; // the graph window's caption without a session
inline constexpr int FileNotAFile = 2417;      // %1: the path
inline constexpr int First = 2400;
inline constexpr int Last = 2417;
} // namespace ReaderText
// What a read or write came to, where "nothing found" would mislead: refused
// and unreadable reads, kept scans compared, and the command line's outcomes.
namespace OutcomeText {
inline constexpr int FaultMemoryRefused = 2500;
inline constexpr int ScanUnitReplaced = 2501; // %1: the unit, %2, %3: part number and component
inline constexpr int ScanUnitRecoded = 2502;  // %1: the unit, %2, %3: coding and workshop code
inline constexpr int ScanCodingAndWorkshop = 2503; // %1: coding, %2: workshop code
inline constexpr int ScanFaultsNotCompared = 2504; // %1: the unit, %2, %3: older, newer read
inline constexpr int ReadFound = 2505;
inline constexpr int ReadEmpty = 2506;
inline constexpr int ReadUnsupported = 2507;
inline constexpr int ReadRefused = 2508;
inline constexpr int ReadUnreadable = 2509;
inline constexpr int ReadNotRecorded = 2510;
inline constexpr int ScanReportIncomplete = 2511; // %1: the file
inline constexpr int ClearRefused = 2512;
inline constexpr int ExitRefused = 2513;
inline constexpr int ExitOutcomeUnknown = 2514;
inline constexpr int GroupsJsonNeedsBound = 2515;
inline constexpr int ScanCutShort = 2516; // %1: units searched, %2: units ticked
inline constexpr int First = 2500;
inline constexpr int Last = 2516;
} // namespace OutcomeText
// Texts of the window that English alone had, and of the graph's one axis.
namespace ViewText {
inline constexpr int ScaleAxis = 2700; // the axis of lines stretched to their unit's span
inline constexpr int DemoCar = 2701;   // the shipped car list's "Demo car"
inline constexpr int DtcFiles = 2702;  // status panel 6, before "Codes + Status"
inline constexpr int First = 2700;
inline constexpr int Last = 2702;
} // namespace ViewText
