// The command line of vandrix-cli on any arguments (the input split at zero
// bytes): the run ends with help or a usage error, or it names a command
// with what that command needs, its numbers in range.
#include "cli/arguments.h"
#include "cli/output.h"
#include "config/strings.h"
#include "fuzz_support.h"

#include <QTemporaryDir>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir; // a program folder without vandrix.ini
    static const bool quiet = [] {
        // Help and usage texts are not what is checked.
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    FUZZ_CHECK(dir.isValid() && quiet);
    FuzzInput in(data, size);
    QStringList args{QStringLiteral("vandrix-cli")};
    while (!in.empty() && args.size() < 16)
        args << QString::fromUtf8(in.bytes(64));

    CliOutput out;
    Invocation invocation;
    const std::optional<int> ended = ParseInvocation(args, dir.path(), invocation, out);
    const int lang = EarlyLanguage(args, dir.path());
    FUZZ_CHECK(lang == 0 || lang == EnglishStringOffset);
    if (ended) {
        FUZZ_CHECK(*ended == Exit::Done || *ended == Exit::Usage);
        return 0;
    }
    bool known = false;
    for (const CommandInfo& info : CommandInfos())
        known = known || info.name == invocation.command;
    FUZZ_CHECK(known);
    FUZZ_CHECK(!invocation.count || *invocation.count >= 1);
    FUZZ_CHECK(!invocation.seconds || (*invocation.seconds > 0 && *invocation.seconds <= 1e7));
    FUZZ_CHECK(!(invocation.count && invocation.seconds));
    FUZZ_CHECK(invocation.language.isEmpty() || invocation.language == u"de" ||
               invocation.language == u"en");
    return 0;
}
