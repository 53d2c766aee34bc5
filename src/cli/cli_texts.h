#pragma once
// The command-line front end's own texts in the string table (German at the
// id, English at id + EnglishStringOffset).
#include "config/strings.h"

namespace CliText {
enum : int {
    Usage = 3001,
    Description = 3002,
    Commands = 3003,
    CommonOptions = 3004,
    CommandOptions = 3005,
    Arguments = 3006,
    ExitStatus = 3007,
    CommandHelpHint = 3008,
    CommandWord = 3009,

    // One line per command, in the order of the overview.
    PortsCommand = 3010,
    CheckCommand = 3011,
    IdentCommand = 3012,
    FaultsCommand = 3013,
    GroupsCommand = 3014,
    ReadinessCommand = 3015,
    VoltagesCommand = 3016,
    ScanCommand = 3017,
    DiffCommand = 3018,

    PortOption = 3030,
    LangOption = 3031,
    IniOption = 3032,
    JsonOption = 3033,
    QuietOption = 3034,
    HelpOption = 3035,
    VersionOption = 3036,
    ClearOption = 3037,
    YesOption = 3038,
    CountOption = 3039,
    SecondsOption = 3040,
    LogOption = 3041,
    AllOption = 3042,
    CarOption = 3043,

    AddressArgument = 3050,
    GroupArgument = 3051,
    AddressesArgument = 3052,
    OlderReportArgument = 3053,
    NewerReportArgument = 3054,

    // Exit statuses 0 to 5, then the signals.
    ExitDone = 3060,
    ExitSignals = 3066,

    UnknownCommand = 3080,
    UnknownOption = 3081,
    OptionNotForCommand = 3082,
    NoCommand = 3083,
    InvalidAddress = 3084,
    InvalidGroup = 3085,
    TooManyGroups = 3086,
    CountOrSeconds = 3087,
    InvalidNumber = 3088,
    TooManyArguments = 3089,
    Missing = 3090,
    NoPortConfigured = 3091,
    InvalidLanguage = 3092,
    IniUnreadable = 3093,
    ClearNeedsConfirmation = 3094,
    AirbagNeedsConfirmation = 3095,
    UnknownCar = 3096,
    NoAddresses = 3097,
    UnitDoesNotAnswer = 3098,
    NotCleared = 3100,
    AfterClearing = 3101,
    YesNo = 3102,
    ChipWithoutInputs = 3119, // shared with the interface check's text
    NoInputFactor = 3104,
    BadArgument = 3105,
    InterfaceCheck = 3121,
    ScanProgress = 3122,
    ReportUnreadable = 3123,    // %1: the file, %2: the system's reason
    NotAScanReport = 3124,      // %1: the file
    ThisCommandHelpHint = 3125, // %1: the command
    FinalAthUnanswered = 3126,  // %1: the reason

    // The page commands, the raw request and the monitor.
    RawCommand = 3150,
    SingleCommand = 3151,
    BasicCommand = 3152,
    RequestCommand = 3153,
    MonitorCommand = 3154,
    ExpertOption = 3155,
    ChannelArgument = 3156,
    BasicGroupArgument = 3157,
    HexArgument = 3158,
    InvalidChannel = 3159,          // %1: the argument
    InvalidBasicGroup = 3160,       // %1: the argument
    InterfaceCommandRefused = 3161, // %1: the argument
    NotInCatalogue = 3162,          // %1: the argument
    RequestOutOfRange = 3163,       // %1: the argument
    WriteNeedsConfirmation = 3164,
    ConfirmWrite = 3165,   // %1: the writing requests
    RequestRefused = 3166, // %1: the request
    NotSent = 3167,
    UnsendableRequest = 3168, // %1: the argument
    RawNeedsKw1281 = 3169,    // %1: the unit
};
} // namespace CliText

// The texts of the commands that change a unit and of its journal.
namespace WriteText {
enum : int {
    // One line per command, in the order of the overview.
    CodingCommand = 3200,
    AdaptationCommand = 3201,
    LoginCommand = 3202,
    OutputTestsCommand = 3203,
    JournalCommand = 3204,
    UndoCommand = 3205,

    SetOption = 3210,
    WorkshopOption = 3211,
    SaveOption = 3212,
    AirbagOption = 3213,

    ChannelArgument = 3220,
    CodeArgument = 3221,
    UnitArgument = 3222,

    WriteNeedsConfirmation = 3230,
    WorkshopMissing = 3231,
    OutOfRange = 3232, // %1: the argument, %2: its largest value, %3: what was given
    NotChanged = 3233,
    AirbagOutputTests = 3234,
    NothingToUndo = 3235,
    UndoNotANumber = 3236, // %1: the earlier value
    ChannelRefused = 3237, // %1: the channel
    ChannelValue = 3238,   // %1: the channel
    OutputTestRefused = 3239,
    LoginQuestion = 3240,
    JournalUnreadable = 3241, // %1: the file, %2: the system's reason
    JournalEmpty = 3242,

    // The journal's columns and words.
    JournalTime = 3250,
    JournalChange = 3251,
    JournalBefore = 3252,
    JournalSent = 3253,
    JournalStage = 3254,
    JournalCoding = 3255,
    JournalChannel = 3256,    // %1: the channel
    JournalStageWords = 3260, // sent, accepted, refused, applied, not applied: 3260..3264
};
} // namespace WriteText
