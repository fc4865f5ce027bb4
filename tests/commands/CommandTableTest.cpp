// Every command's usage text, and the argument counts and options that lead to it.
#include "support/InProcess.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runInProcess;

struct UsageCase {
    const wchar_t* name;
    const char* usage;
};

const UsageCase kUsages[] = {
    {L"cat", "Usage:\ncat [-][file]...\n"},
    {L"cp", "Usage:\ncp [keys] file\n\t-r, -R --recursive\tcopy file hierarchies\n\t-f, --force\tremove existent "
            "path before copy\n\t-l, --link\tmake hard link\n"},
    {L"mv", "Usage:\nmv [-f] file\n\t-f, --force\tremove existent path before copy\n"},
    {L"touch", "Usage:\ntouch [OPTION]... FILE...\n\tor: [-acm] MMDDhhmm[YY] FILE... (obsolescent)\n\tUpdate the "
               "access and modification times of each FILE\n\t-a                     change only the access "
               "time\n\t-c, --no-create        do not create any files\n\t-f                     (ignored)\n\t-m   "
               "                  change only the modification time\n\t-r, --reference=FILE   use this file's "
               "times instead of current time\n\t-t STAMP               use [[CC]YY]MMDDhhmm[.ss] instead of "
               "current time"},
    {L"rm", "Usage:\nrm [keys] file\n\t-r, -R --recursive\tremove directories as regular files\n\t-d, "
            "--directory\trecursivly remove directories and its content\n\t-f, --force\tdo not display errors if "
            "target absent\n"},
    {L"mkdir", "Usage:\nmkdir [-p] directory ...\n"},
    {L"rmdir", "Usage:\nrmdir [-p] directory ...\n\t-p\tall components of path will be removed\n"},
    {L"file", "Usage:\nfile anyfile...\n"},
    {L"list", "Usage:\nlist (dirs | files | both) path\n"},
    {L"cp2tempnam", "Usage:\ncp2tempnam source path [prefix]\n"},
    {L"mv2tempnam", "Usage:\nmv2tempnam source path [prefix]\n"},
    {L"file_exists", "Usage:\nfile_exists path\n"},
    {L"--permissions", "Usage:\npermissions --list | --set [args from stdin (delimiter - \n)]\n"},
    {L"realpath", "Usage:\nrealpath path\n"},
    {L"subtree", "Usage:\nsubtree path\n"},
    {L"size", "Usage:\nsize path\n"},
    {L"unpack-archive", "Usage:\nunpack-archive [type] 'archive path' 'unpack to'\n"},
    {L"--tree", "Usage:\n--tree --path='path' [--recursive] [--permissions] [--file-info] [--folders] [--files]\n"},
    {L"--ex-info", "Usage:\n--ex-info --path='path' [--permissions] [--short-path] "
                   "[--long-path][--delete-access][--sharing-access]\n"},
    {L"--effective-permissions",
     "Usage: --effective-permissions --path=filename [--with-child-objects] [--child-objects-only]\n"},
    {L"--ex-copy", "Usage:\n--ex-copy --source={source or directory file} --destination={destination or directory "
                   "file}\n"},
    {L"--ex-rename", "Usage:\n--ex-rename --old-name={source or directory file} --new-name={destination or "
                     "directory file}\n"},
    {L"--ex-remove", "Usage:\n--ex-remove --path={file or directory path}\n"},
    {L"--ex-create-directory", "Usage:\n--ex-create-directory --path={directory path}\n"},
    {L"--ex-touch", "Usage:\n--ex-touch --path={directory path}\n"},
};

std::string usageOf(const std::wstring& name) {
    for (const UsageCase& c : kUsages)
        if (name == c.name) return c.usage;
    return "no such command";
}

TEST(ParsingUsage, EveryCommandWithoutArgumentsPrintsItsOwnUsage) {
    ASSERT_EQ(std::size(kUsages), 25u);
    for (const UsageCase& c : kUsages) {
        auto r = runInProcess({L"ROOT", c.name});
        EXPECT_EQ(r.out, c.usage) << std::string(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(r.exitCode, 1);
    }
}

TEST(ParsingUsage, WrongCountsAndUnknownOptionsPrintTheUsage) {
    const std::vector<std::vector<std::wstring>> cases = {
        {L"cat", L"--help"},
        {L"cat", L"--help", L"f"},
        {L"cat", L"-x", L"f"},
        {L"cat", L"a", L"b"},
        {L"cp", L"a"},
        {L"cp", L"-r", L"a"},
        {L"cp", L"a", L"b", L"c"},
        {L"cp", L"-x", L"a", L"b"},
        {L"cp", L"--recurse", L"a", L"b"},
        {L"mv", L"a"},
        {L"mv", L"-r", L"a", L"b"},
        {L"mv", L"--recursive", L"a", L"b"},
        {L"touch", L"--date=x", L"f"},
        {L"touch", L"--date", L"x", L"f"},
        {L"touch", L"-z", L"f"},
        {L"touch", L"a", L"b"},
        {L"touch", L"0203140501", L"f"}, // the obsolescent stamp needs "--" before it
        {L"touch", L"-t"},
        {L"touch", L"-a"},
        {L"rm", L"-x", L"a"},
        {L"rm", L"-r"},
        {L"rm", L"--force"},
        {L"mkdir", L"a", L"b"},
        {L"mkdir", L"-m"},
        {L"mkdir", L"-x", L"a"},
        {L"mkdir", L"--parents", L"a"},
        {L"mkdir", L"-p"},
        {L"rmdir", L"-x", L"a"},
        {L"rmdir", L"a", L"b"},
        {L"file", L"-x", L"a"},
        {L"file", L"a", L"b"},
        {L"list", L"dirs"},
        {L"list", L"dirs", L"a", L"b"},
        {L"cp2tempnam", L"a"},
        {L"cp2tempnam", L"a", L"b", L"c", L"d"},
        {L"mv2tempnam", L"a"},
        {L"mv2tempnam", L"a", L"b", L"c", L"d"},
        {L"realpath", L"a", L"b"},
        {L"size", L"a", L"b"},
        {L"subtree", L"a", L"b"},
        {L"unpack-archive", L"a"},
        {L"unpack-archive", L"zip", L"a", L"b", L"c"},
        {L"file_exists", L"a", L"b"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> args{L"ROOT"};
        args.insert(args.end(), c.begin(), c.end());
        auto r = runInProcess(args);
        std::string shown;
        for (const auto& a : c) shown += std::string(a.begin(), a.end()) + " ";
        EXPECT_EQ(r.out, usageOf(c[0])) << shown;
        EXPECT_EQ(r.exitCode, 1) << shown;
    }
}

} // namespace
