#pragma once
// The command-line front end's own texts in the string table (German at the
// id, English at id + EnglishStringOffset).
#include "config/strings.h"

namespace CliText {
enum : int {
    Usage = 2001,
    Description = 2002,
    Commands = 2003,
    CommonOptions = 2004,
    CommandOptions = 2005,
    Arguments = 2006,
    ExitStatus = 2007,
    CommandHelpHint = 2008,
    CommandWord = 2009,

    // One line per command, in the order of the overview.
    PortsCommand = 2010,
    CheckCommand = 2011,
    IdentCommand = 2012,
    FaultsCommand = 2013,
    GroupsCommand = 2014,
    ReadinessCommand = 2015,
    VoltagesCommand = 2016,
    ScanCommand = 2017,

    PortOption = 2030,
    LangOption = 2031,
    IniOption = 2032,
    JsonOption = 2033,
    QuietOption = 2034,
    HelpOption = 2035,
    VersionOption = 2036,
    ClearOption = 2037,
    YesOption = 2038,
    CountOption = 2039,
    SecondsOption = 2040,
    LogOption = 2041,
    AllOption = 2042,
    CarOption = 2043,

    AddressArgument = 2050,
    GroupArgument = 2051,
    AddressesArgument = 2052,

    // Exit statuses 0 to 5, then the signals.
    ExitDone = 2060,
    ExitSignals = 2066,

    UnknownCommand = 2080,
    UnknownOption = 2081,
    OptionNotForCommand = 2082,
    NoCommand = 2083,
    InvalidAddress = 2084,
    InvalidGroup = 2085,
    TooManyGroups = 2086,
    CountOrSeconds = 2087,
    InvalidNumber = 2088,
    TooManyArguments = 2089,
    Missing = 2090,
    NoPortConfigured = 2091,
    InvalidLanguage = 2092,
    IniUnreadable = 2093,
    ClearNeedsConfirmation = 2094,
    AirbagNeedsConfirmation = 2095,
    UnknownCar = 2096,
    NoAddresses = 2097,
    UnitDoesNotAnswer = 2098,
    NotCleared = 2100,
    AfterClearing = 2101,
    YesNo = 2102,
    ChipWithoutInputs = 2119, // shared with the interface check's text
    NoInputFactor = 2104,
    BadArgument = 2105,
    InterfaceCheck = 2121,
    ScanProgress = 2122,
};
} // namespace CliText
