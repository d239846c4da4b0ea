// The texts of the options, in Japanese for code page 932 and in English.
#include "renamer/messages.h"

#include "platform/platform.h"

namespace ansifold {

namespace {

bool inJapanese() {
    return platform::GetACP() == 932;
}

constexpr const char16_t* helpJapanese =
    u"使い方: ansifold [オプション] 名前...\n"
    u"名前のファイルとディレクトリ (ディレクトリはその下のすべても) の名前を、\n"
    u"ANSI コードページ (%d) で表せる名前に変えます。既存の項目は置き換えません。\n"
    u"\n"
    u"オプション (最初の名前より前に置きます):\n"
    u"  --dry-run     実行したときの表示だけを出し、何も名前を変えません\n"
    u"  --log=FILE    名前を変えた項目ごとに、元と新しいフルパスを FILE に追記します\n"
    u"  --undo=FILE   FILE に記録された変更を、最後のものから元に戻します\n"
    u"  --help        この説明を表示します (Windows では /? も)\n"
    u"  --version     バージョンを表示します\n";

constexpr const char16_t* helpEnglish =
    u"Usage: ansifold [options] name...\n"
    u"Renames each named file or directory, and everything below a named\n"
    u"directory, so that every name fits the ANSI code page (%d). An existing\n"
    u"entry is never replaced.\n"
    u"\n"
    u"Options (before the first name):\n"
    u"  --dry-run     print what a run would print, and rename nothing\n"
    u"  --log=FILE    append the old and new full path of each rename to FILE\n"
    u"  --undo=FILE   rename back what FILE records, the last rename first\n"
    u"  --help        print this text (also /? on Windows)\n"
    u"  --version     print the version\n";

struct Text {
    const char16_t* japanese;
    const char16_t* english;
};

Text textOf(Problem problem) {
    switch (problem) {
        case Problem::logNotOpened:
            return {u"ansifold: ログ %s を開けません (エラー %d)。何も名前を変えていません。\n",
                    u"ansifold: cannot open the log %s (error %d); nothing was renamed\n"};
        case Problem::logForeign:
            return {u"ansifold: %s は ansifold のログではありません。何も名前を変えていません。\n",
                    u"ansifold: %s is not a log of ansifold; nothing was renamed\n"};
        case Problem::logNotWritten:
            return {u"ansifold: ログ %s に書き込めません (エラー %d)。ここで止めます。\n",
                    u"ansifold: cannot write to the log %s (error %d); the run stops here\n"};
        case Problem::undoNotRead:
            return {u"ansifold: %s を読めません (エラー %d)。何も名前を変えていません。\n",
                    u"ansifold: cannot read %s (error %d); nothing was renamed\n"};
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
    return {u"ansifold: --undo は名前を取りません。何も名前を変えていません。\n",
            u"ansifold: --undo takes no names; nothing was renamed\n"};
}

}  // namespace

void printHelp(kestrel::Console& console) {
    console.print(inJapanese() ? helpJapanese : helpEnglish, static_cast<int>(platform::GetACP()));
}

void printVersion(kestrel::Console& console) {
    console.print(u"ansifold %s\n", version);
}

void reportProblem(Problem problem, const std::u16string& file, unsigned number) {
    const Text text = textOf(problem);
    kestrel::Console errors(platform::stdErrorHandle);
    errors.print(inJapanese() ? text.japanese : text.english, file.c_str(),
                 static_cast<int>(number));
}

}  // namespace ansifold
