// What a successful parse stores: the commands are run through their own start with prepare and
// execute replaced by probes, so no path check or operation runs.
#include "commands/PermissionsCommand.h"
#include "commands/files/CatTouch.h"
#include "commands/files/CopyMove.h"
#include "commands/files/FileType.h"
#include "commands/files/PathQueries.h"
#include "commands/files/Remove.h"
#include "commands/files/UnpackArchive.h"
#include "commands/xml/EffectivePermissions.h"
#include "commands/xml/ExOperations.h"
#include "commands/xml/ExtendedFileInfo.h"
#include "commands/xml/Subtree.h"
#include "commands/xml/TreeXML.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::wstring>;

template <class Command> class Probe : public Command {
public:
    void prepare() override { ++prepared; }
    void execute() override { ++executed; }
    Strings inputValues() const {
        Strings out;
        for (const std::wstring& p : this->inputs) out.push_back(p);
        return out;
    }
    bool runsAsTarget() const { return this->runAsFlag(); }
    int prepared = 0;
    int executed = 0;
};

struct Outcome {
    std::string out;
    int exitCode;
};

// Runs the command as the dispatcher does: argv[0] is the command name.
Outcome run(RunTime::RunAsUser& command, Strings args) {
    std::vector<wchar_t*> argv;
    for (std::wstring& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    testsupport::LogCapture capture;
    int code = command.run(static_cast<int>(args.size()), argv.data(), true);
    return {capture.out(), code};
}

template <class Command> void expectParsed(Probe<Command>& command, Strings args) {
    Outcome r = run(command, std::move(args));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(command.prepared, 1);
    EXPECT_EQ(command.executed, 1);
}

TEST(ParsingFields, CopyAndMoveTakeOptionsAndThePairInAnyOrder) {
    Probe<CopyFiles> cp;
    expectParsed(cp, {L"cp", L"a", L"-R", L"--force", L"b"});
    EXPECT_TRUE(cp.recursive);
    EXPECT_TRUE(cp.force);
    EXPECT_FALSE(cp.link);
    EXPECT_EQ(cp.inputValues(), (Strings{L"a", L"b"}));

    Probe<CopyFiles> link;
    expectParsed(link, {L"cp", L"--link", L"-r", L"C:\\x y", L"C:\\z"});
    EXPECT_TRUE(link.link);
    EXPECT_TRUE(link.recursive);
    EXPECT_FALSE(link.force);
    EXPECT_EQ(link.inputValues(), (Strings{L"C:\\x y", L"C:\\z"}));

    Probe<MoveFiles> mv;
    expectParsed(mv, {L"mv", L"-f", L"a", L"b"});
    EXPECT_TRUE(mv.force);
    EXPECT_EQ(mv.inputValues(), (Strings{L"a", L"b"}));
}

TEST(ParsingFields, TouchOptionsAndStamps) {
    Probe<TouchFiles> all;
    expectParsed(all, {L"touch", L"-a", L"-m", L"-c", L"-f", L"-t", L"200102031405.09", L"f"});
    EXPECT_EQ(all.timeSelector, 3u);
    EXPECT_TRUE(all.noCreate);
    EXPECT_EQ(all.stamp, 981209109); // TZ=UTC
    EXPECT_EQ(all.path, L"f");

    Probe<TouchFiles> plain;
    expectParsed(plain, {L"touch", L"--no-create", L"f"});
    EXPECT_EQ(plain.timeSelector, 0u);
    EXPECT_TRUE(plain.noCreate);
    EXPECT_EQ(plain.stamp, -1);
    EXPECT_EQ(plain.reference, L"");

    Probe<TouchFiles> obsolescent;
    expectParsed(obsolescent, {L"touch", L"-m", L"--", L"0203140501", L"f"});
    EXPECT_EQ(obsolescent.timeSelector, 1u);
    EXPECT_EQ(obsolescent.stamp, 981209100);
    EXPECT_EQ(obsolescent.inputValues(), Strings{L"f"});

    // After -t the argument after "--" is the path, so two of them are one too many.
    Probe<TouchFiles> both;
    Outcome r = run(both, {L"touch", L"-t", L"0203140501", L"--", L"0203140501", L"f"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Usage:\ntouch", 0), 0u);
    EXPECT_EQ(both.prepared, 0);
}

TEST(ParsingFields, TouchRefusesBadStampsWhileParsingAndKeepsTheReferenceForPrepare) {
    for (Strings args : {Strings{L"touch", L"-t", L"180001010000", L"f"}, Strings{L"touch", L"-t", L"2001.5", L"f"},
                         Strings{L"touch", L"--", L"020314050", L"f"}}) {
        Probe<TouchFiles> t;
        std::wstring stamp = args[args.size() - 2];
        Outcome r = run(t, args);
        EXPECT_EQ(r.out, "Invalid date format (" + std::string(stamp.begin(), stamp.end()) + ")");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(t.prepared, 0);
    }

    // The reference is an input path: the policy checks it in prepare before its existence is
    // tested (see PathPolicyTest), so parsing only stores it, first among the inputs.
    Probe<TouchFiles> missing;
    expectParsed(missing, {L"touch", L"-r", L"C:\\no such dir\\ref", L"f"});
    EXPECT_EQ(missing.inputValues(), (Strings{L"C:\\no such dir\\ref", L"f"}));

    Probe<TouchFiles> present;
    expectParsed(present, {L"touch", L"--reference=C:\\windows", L"-t", L"0203140501", L"f"});
    EXPECT_EQ(present.reference, L"C:\\windows");
    EXPECT_NE(present.stamp, -1); // checked for its syntax; the reference's time is used
}

TEST(ParsingFields, RemoveAndDirectoryCommands) {
    Probe<RemoveFiles> rm;
    expectParsed(rm, {L"rm", L"-rRfd", L"a", L"--directory", L"b", L"c"});
    EXPECT_EQ(rm.inputValues(), (Strings{L"a", L"b", L"c"}));

    Probe<MkDir> mkdir;
    expectParsed(mkdir, {L"mkdir", L"-p", L"-m", L"755", L"d"});
    EXPECT_TRUE(mkdir.parents);
    EXPECT_EQ(mkdir.inputValues(), Strings{L"d"});

    Probe<RemDir> rmdir;
    expectParsed(rmdir, {L"rmdir", L"d"});
    EXPECT_FALSE(rmdir.parents);
    EXPECT_EQ(rmdir.inputValues(), Strings{L"d"});

    Probe<CatFiles> cat;
    expectParsed(cat, {L"cat", L"-h", L"f"});
    EXPECT_EQ(cat.path, L"f");

    Probe<File> file;
    expectParsed(file, {L"file", L"-L", L"f"});
    EXPECT_EQ(file.path, L"f");
}

TEST(ParsingFields, PositionalCommands) {
    const std::pair<const wchar_t*, ListFiles::Mode> modes[] = {
        {L"dirs", ListFiles::Dirs}, {L"files", ListFiles::Files}, {L"both", ListFiles::Both}};
    for (auto [word, mode] : modes) {
        Probe<ListFiles> list;
        expectParsed(list, {L"list", word, L"C:\\d\\"});
        EXPECT_EQ(list.mode, mode);
        EXPECT_EQ(list.inputValues(), Strings{L"C:\\d\\"});
    }
    Probe<ListFiles> invalid;
    Outcome r = run(invalid, {L"list", L"Dirs", L"C:\\d"});
    EXPECT_EQ(r.out, "The mode (Dirs) is invalid");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(invalid.prepared, 0);

    Probe<Cp2TempName> cp;
    expectParsed(cp, {L"cp2tempnam", L"s", L"d"});
    EXPECT_EQ(cp.prefix, L"");
    EXPECT_EQ(cp.inputValues(), (Strings{L"s", L"d"}));
    Probe<Mv2TempName> mv;
    expectParsed(mv, {L"mv2tempnam", L"s", L"d", L"abc\\"});
    EXPECT_EQ(mv.prefix, L"abc\\");
    EXPECT_EQ(mv.inputValues(), (Strings{L"s", L"d"}));

    // realpath, size and subtree drop trailing separators and "\.".
    const std::pair<const wchar_t*, const wchar_t*> trims[] = {
        {L"C:\\a\\.\\", L"C:\\a"}, {L"C:\\a\\\\", L"C:\\a"}, {L"C:\\a.", L"C:\\a."}, {L"\\", L"\\"},
        {L"\\.", L"\\."},           {L"a\\.\\.", L"a"}};
    for (auto [given, kept] : trims) {
        Probe<RealPath> realpath;
        expectParsed(realpath, {L"realpath", given});
        EXPECT_EQ(realpath.path, kept);
        Probe<FileSize> size;
        expectParsed(size, {L"size", given});
        EXPECT_EQ(size.path, kept);
        Probe<XMlDirTree> subtree;
        expectParsed(subtree, {L"subtree", given});
        EXPECT_EQ(subtree.inputValues(), Strings{kept});
    }

    Probe<UnpackArchive> typed;
    expectParsed(typed, {L"unpack-archive", L"zip", L"C:\\a.zip", L"C:\\dest\\"});
    EXPECT_EQ(typed.type, L"zip");
    EXPECT_EQ(typed.inputValues(), (Strings{L"C:\\a.zip", L"C:\\dest"}));
    Probe<UnpackArchive> untyped;
    expectParsed(untyped, {L"unpack-archive", L"C:\\a.zip", L"C:\\dest"});
    EXPECT_EQ(untyped.type, L"");
    EXPECT_EQ(untyped.inputValues(), (Strings{L"C:\\a.zip", L"C:\\dest"}));
}

TEST(ParsingFields, TreeInfoAndEffectivePermissionsFlags) {
    Probe<TreeXML> tree;
    expectParsed(tree, {L"--tree", L"--path=C:\\d"});
    EXPECT_EQ(tree.rootPath, L"C:\\d");
    EXPECT_EQ(tree.listingKind, TreeXML::FoldersAndFiles);
    EXPECT_FALSE(tree.recursive || tree.withPermissions || tree.withFileInfo);
    EXPECT_TRUE(tree.runsAsTarget());

    Probe<TreeXML> full;
    expectParsed(full, {L"--tree", L"--files", L"--path=C:\\d", L"--folders", L"--recursive", L"--permissions",
                        L"--file-info", L"--internal-package-name=x"});
    EXPECT_EQ(full.listingKind, TreeXML::FilesOnly);
    EXPECT_TRUE(full.recursive && full.withPermissions && full.withFileInfo);
    EXPECT_FALSE(full.runsAsTarget()); // the permission listing runs in the program's own context

    Probe<TreeXML> folders;
    expectParsed(folders, {L"--tree", L"--path=C:\\d", L"--folders"});
    EXPECT_EQ(folders.listingKind, TreeXML::FoldersOnly);

    Probe<ExtendedFileInfo> info;
    expectParsed(info, {L"--ex-info", L"--path=C:\\f", L"--short-path", L"--sharing-access"});
    EXPECT_TRUE(info.withShortPath && info.withSharingAccess);
    EXPECT_FALSE(info.withLongPath || info.withDeleteAccess || info.withPermissions);
    EXPECT_TRUE(info.runsAsTarget());
    Probe<ExtendedFileInfo> infoPermissions;
    expectParsed(infoPermissions, {L"--ex-info", L"--path=C:\\f", L"--permissions", L"--long-path",
                                   L"--delete-access"});
    EXPECT_TRUE(infoPermissions.withPermissions && infoPermissions.withLongPath && infoPermissions.withDeleteAccess);
    EXPECT_FALSE(infoPermissions.runsAsTarget());

    const std::pair<Strings, unsigned> childModes[] = {
        {{}, 0u}, {{L"--with-child-objects"}, 1u}, {{L"--child-objects-only"}, 2u},
        {{L"--child-objects-only", L"--with-child-objects"}, 3u}};
    for (const auto& [extra, bits] : childModes) {
        Probe<EffectivePermissions> effective;
        Strings args{L"--effective-permissions", L"--path=C:\\f"};
        args.insert(args.end(), extra.begin(), extra.end());
        expectParsed(effective, args);
        EXPECT_EQ(effective.childMode, bits);
        EXPECT_EQ(effective.path, L"C:\\f");
        EXPECT_TRUE(effective.runsAsTarget());
    }
}

TEST(ParsingFields, ExtendedOperationsAndPermissionModes) {
    Probe<ExCopyPath> copy;
    expectParsed(copy, {L"--ex-copy", L"--destination=C:\\b", L"--source=C:\\a=1", L"--internal-package-name=p"});
    EXPECT_EQ(copy.inputValues(), (Strings{L"C:\\a=1", L"C:\\b"}));
    Probe<ExRenamePath> rename;
    expectParsed(rename, {L"--ex-rename", L"--old-name=a", L"--new-name=b"});
    EXPECT_EQ(rename.inputValues(), (Strings{L"a", L"b"}));
    Probe<ExTouch> touch;
    expectParsed(touch, {L"--ex-touch", L"--path=x", L"--path=y"});
    EXPECT_EQ(touch.inputValues(), Strings{L"y"});

    Probe<Permissions> list;
    expectParsed(list, {L"--permissions", L"--list-common", L"--file=C:\\f"});
    EXPECT_EQ(list.mode, Permissions::ListCommon);
    EXPECT_EQ(list.inputValues(), Strings{L"C:\\f"});

    Probe<Permissions> set;
    expectParsed(set, {L"--permissions", L"--set-advanced", L"--xml=C:\\doc.xml", L"--file=C:\\f",
                       L"--replace-on-children", L"--inherit-from-parent"});
    EXPECT_EQ(set.mode, Permissions::SetAdvanced);
    EXPECT_EQ(set.xml, L"C:\\doc.xml");
    EXPECT_TRUE(set.inheritFromParent && set.replaceOnChildren);
    // The document file is an input path like the object.
    EXPECT_EQ(set.inputValues(), (Strings{L"C:\\f", L"C:\\doc.xml"}));

    Probe<Permissions> simple;
    expectParsed(simple, {L"--permissions", L"--set", L"--file=C:\\f", L"--xml=<Permissions/>"});
    EXPECT_EQ(simple.mode, Permissions::Set);
    EXPECT_EQ(simple.xml, L"<Permissions/>");
    EXPECT_FALSE(simple.inheritFromParent || simple.replaceOnChildren);

    Probe<Permissions> convert;
    expectParsed(convert, {L"--permissions", L"--convert-common", L"--xml=C:\\doc.xml"});
    EXPECT_EQ(convert.mode, Permissions::ConvertCommon);
    // Converting touches no path; the document is read from an allowed one.
    EXPECT_EQ(convert.inputValues(), Strings{L"C:\\doc.xml"});
}

// The sub-path refusal of cp, mv, --ex-copy and --ex-rename, which runs after both paths passed
// the policy.
template <class Command> class SubPathProbe : public Command {
public:
    // Both paths pass a policy that allows whole drives; the sub-path rule decides.
    void prepare() override {
        testsupport::FixedSettings settings;
        settings.strings = {{L"HTTPD_VHOSTS_D", L"C:\\"}, {L"DUMP_D", L"D:\\"}};
        testsupport::ScopedSettings scoped(settings);
        this->checkInputs();
    }
    void execute() override { ++executed; }
    int executed = 0;
};

template <class Command> void expectSubPathRule(Strings inside, Strings equal, Strings unrelated) {
    SubPathProbe<Command> refused;
    Outcome r = run(refused, inside);
    EXPECT_EQ(r.out.rfind("Unable to copy from C:\\Dir to c:\\dir\\Sub. The destination is sub path of the source "
                          "path.: (161) ",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(refused.executed, 0);
    for (const Strings& args : {equal, unrelated}) {
        SubPathProbe<Command> passed;
        EXPECT_EQ(run(passed, args).exitCode, 0);
        EXPECT_EQ(passed.executed, 1);
    }
}

TEST(ParsingFields, DestinationInsideTheSourceIsRefused) {
    expectSubPathRule<CopyFiles>({L"cp", L"-r", L"C:\\Dir", L"c:\\dir\\Sub"}, {L"cp", L"-r", L"C:\\d", L"C:\\D"},
                                 {L"cp", L"C:\\d", L"C:\\dd\\x"});
    expectSubPathRule<MoveFiles>({L"mv", L"C:\\Dir", L"c:\\dir\\Sub"}, {L"mv", L"C:\\d", L"C:\\d"},
                                 {L"mv", L"C:\\d\\x", L"C:\\d"});
    expectSubPathRule<ExCopyPath>({L"--ex-copy", L"--source=C:\\Dir", L"--destination=c:\\dir\\Sub"},
                                  {L"--ex-copy", L"--source=C:\\d", L"--destination=C:\\d"},
                                  {L"--ex-copy", L"--source=C:\\d", L"--destination=D:\\d\\x"});
    expectSubPathRule<ExRenamePath>({L"--ex-rename", L"--old-name=C:\\Dir", L"--new-name=c:\\dir\\Sub"},
                                    {L"--ex-rename", L"--old-name=C:\\d", L"--new-name=C:\\d"},
                                    {L"--ex-rename", L"--old-name=C:\\d\\e", L"--new-name=C:\\d\\f"});
}

} // namespace
