// The texts of the options and the closing prompt, in Japanese for code page
// 932 and in English.
#include "renamer/messages.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "platform/platform.h"

namespace ansifold {

namespace {

bool inJapanese() {
    return platform::GetACP() == 932;
}

constexpr const char16_t* usageJapanese = u"使い方: ansifold [オプション] 名前...\n";
constexpr const char16_t* usageEnglish = u"Usage: ansifold [options] name...\n";

constexpr const char16_t* helpJapanese =
    u"名前のファイルとディレクトリ (ディレクトリはその下のすべても) の名前を、\n"
    u"コードページ %d で表せる名前に変えます。既存の項目は置き換えません。\n"
    u"\n"
    u"オプション (名前の前にも後にも置けます。-- より後はすべて名前です):\n"
    u"  --dry-run     実行したときの表示だけを出し、何も名前を変えません\n"
    u"  --changes     名前が変わる項目と、変えられなかった項目だけを表示します\n"
    u"  --log=FILE    名前を変えた項目ごとに、元と新しいフルパスを FILE に追記します\n"
    u"  --undo=FILE   FILE に記録された変更を、最後のものから元に戻します\n"
    u"  --code-page=N システムの ANSI コードページの代わりに、コードページ N で\n"
    u"                表せる名前にします\n"
    u"  --exclude=PATTERN\n"
    u"                名前が PATTERN (* と ? が使えます) に合う項目は、名前を変えず、\n"
    u"                その下にも入りません (何度でも指定できます。例: --exclude=.git)\n"
    u"  --help        この説明を表示します (Windows では /? も)\n"
    u"  --version     バージョンを表示します\n";

constexpr const char16_t* helpEnglish =
    u"Renames each named file or directory, and everything below a named\n"
    u"directory, so that every name fits code page %d. An existing entry is\n"
    u"never replaced.\n"
    u"\n"
    u"Options (before or after the names; everything after -- is a name):\n"
    u"  --dry-run     print what a run would print, and rename nothing\n"
    u"  --changes     print only the entries whose name changes or fails to\n"
    u"  --log=FILE    append the old and new full path of each rename to FILE\n"
    u"  --undo=FILE   rename back what FILE records, the last rename first\n"
    u"  --code-page=N fold for code page N, not the system's ANSI code page\n"
    u"  --exclude=PATTERN\n"
    u"                leave alone, and do not walk into, each entry whose name\n"
    u"                matches PATTERN (* and ?); may be repeated: --exclude=.git\n"
    u"  --help        print this text (also /? on Windows)\n"
    u"  --version     print the version\n";

struct Text {
    const char16_t* japanese;
    const char16_t* english;
};

Text textOf(Problem problem) {
    switch (problem) {
        case Problem::logNotOpened:
            return {u"ansifold: ログ %s を開けません (%s)。何も名前を変えていません。\n",
                    u"ansifold: cannot open the log %s: %s; nothing was renamed\n"};
        case Problem::logForeign:
            return {u"ansifold: %s は ansifold のログではありません。何も名前を変えていません。\n",
                    u"ansifold: %s is not a log of ansifold; nothing was renamed\n"};
        case Problem::logNotWritten:
            return {u"ansifold: ログ %s に書き込めません (%s)。ここで止めます。\n",
                    u"ansifold: cannot write to the log %s: %s; the run stops here\n"};
        case Problem::undoNotRead:
            return {u"ansifold: %s を読めません (%s)。何も名前を変えていません。\n",
                    u"ansifold: cannot read %s: %s; nothing was renamed\n"};
        case Problem::undoDamaged:
            return {
                u"ansifold: %s は ansifold のログでないか、%d 行目が壊れています。"
                u"何も名前を変えていません。\n",
                u"ansifold: %s is not a log of ansifold, or its line %d is damaged; "
                u"nothing was renamed\n"};
        case Problem::logNotAFile:
            return {
                u"ansifold: %s はリンク、デバイス、FIFO またはディレクトリで、ログのファイルでは"
                u"ありません。何も名前を変えていません。\n",
                u"ansifold: %s is a link, a device, a FIFO or a directory, not a log file; "
                u"nothing was renamed\n"};
        case Problem::logOlderVersion:
            return {
                u"ansifold: %s は以前の版の ansifold のログで、この版では追記も元に戻すことも"
                u"できません。何も名前を変えていません。\n",
                u"ansifold: %s is a log of an earlier version of ansifold, which this version "
                u"neither appends to nor undoes; nothing was renamed\n"};
        case Problem::undoWithNames:
            break;
    }
    return {u"ansifold: --undo=%s は名前を取りません。何も名前を変えていません。\n",
            u"ansifold: --undo=%s takes no names; nothing was renamed\n"};
}

bool takesReason(Problem problem) {
    return problem == Problem::logNotOpened || problem == Problem::logNotWritten ||
           problem == Problem::undoNotRead;
}

bool endsReason(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u' ' || c == u'.' || c == u'\u3002';
}

// The system's own text for an error code, without the full stop and line
// end that Windows puts after it, which would break the message's sentence;
// the code's number only where the system has no text for it.
std::u16string reasonOf(platform::Dword code) {
    std::array<char16_t, 512> text{};
    const platform::Dword length =
        platform::FormatMessageW(code, text.data(), static_cast<platform::Dword>(text.size()));
    std::u16string reason(text.data(), length);
    while (!reason.empty() && endsReason(reason.back())) {
        reason.pop_back();
    }
    if (reason.empty()) {
        const std::string number = std::to_string(code);
        reason = u"error " + std::u16string(number.begin(), number.end());
    }
    return reason;
}

// A count as the formats' %d takes it.
int printable(std::size_t count) {
    return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

}  // namespace

void printHelp(kestrel::Console& console, unsigned codePage) {
    console.print(inJapanese() ? usageJapanese : usageEnglish);
    console.print(inJapanese() ? helpJapanese : helpEnglish, static_cast<int>(codePage));
}

void printVersion(kestrel::Console& console) {
    console.print(u"ansifold %s\n", version);
}

const char16_t* closingPrompt() {
    return inJapanese() ? u"何かキーを押すとこのウィンドウを閉じます。"
                        : u"Press any key to close this window.";
}

void reportProblem(Problem problem, const std::u16string& file, unsigned number) {
    const Text text = textOf(problem);
    const char16_t* format = inJapanese() ? text.japanese : text.english;
    kestrel::Console errors(platform::stdErrorHandle);
    if (takesReason(problem)) {
        errors.print(format, file.c_str(), reasonOf(number).c_str());
    } else {
        errors.print(format, file.c_str(), static_cast<int>(number));
    }
}

void reportSummary(const Tally& tally, bool dryRun) {
    const Text text =
        dryRun ? Text{u"ansifold: 名前が変わる項目 %d、そのままの項目 %d、失敗する項目 %d "
                      u"(--dry-run)\n",
                      u"ansifold: %d would be renamed, %d would keep their name, %d would fail\n"}
               : Text{u"ansifold: 名前を変えた項目 %d、そのままの項目 %d、失敗した項目 %d\n",
                      u"ansifold: %d renamed, %d kept their name, %d failed\n"};
    kestrel::Console errors(platform::stdErrorHandle);
    errors.print(inJapanese() ? text.japanese : text.english, printable(tally.renamed),
                 printable(tally.kept), printable(tally.failed));
}

void reportRefusal(const Refusal& refusal) {
    kestrel::Console errors(platform::stdErrorHandle);
    const bool japanese = inJapanese();
    switch (refusal.reason) {
        case Refused::unknown:
            errors.print(japanese ? u"ansifold: %s というオプションはありません。\n"
                                  : u"ansifold: unknown option %s\n",
                         refusal.token.c_str());
            break;
        case Refused::valueNotTaken:
            errors.print(japanese ? u"ansifold: %s は値を取りません (%s)。\n"
                                  : u"ansifold: %s takes no value (%s)\n",
                         std::u16string(refusal.name).c_str(), refusal.token.c_str());
            break;
        case Refused::valueMissing:
            errors.print(japanese ? u"ansifold: %s には値が必要です (%s=%s)。\n"
                                  : u"ansifold: %s needs a value (%s=%s)\n",
                         std::u16string(refusal.name).c_str(), std::u16string(refusal.name).c_str(),
                         std::u16string(refusal.value).c_str());
            break;
        case Refused::valueUnknown:
            errors.print(japanese ? u"ansifold: %s にこの値は使えません (%s)。\n"
                                  : u"ansifold: %s does not know this value (%s)\n",
                         std::u16string(refusal.name).c_str(), refusal.token.c_str());
            break;
    }
    errors.print(japanese ? usageJapanese : usageEnglish);
}

}  // namespace ansifold
