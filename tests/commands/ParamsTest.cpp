// The named-parameter checks of the newer commands, and the modes of --permissions.
#include "support/InProcess.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runInProcess;

void expectFailure(std::vector<std::wstring> args, const std::string& message) {
    args.insert(args.begin(), L"ROOT");
    auto r = runInProcess(args);
    std::string shown;
    for (const auto& a : args) shown += std::string(a.begin(), a.end()) + " ";
    EXPECT_EQ(r.out, message) << shown;
    EXPECT_EQ(r.exitCode, 1) << shown;
}

TEST(ParsingParams, QueryCommandsReportMissingAndUnexpectedNames) {
    const std::string treeHelp = "Possible parameters is:\n    --path\n    [--recursive]\n    [--permissions]\n    "
                                 "[--file-info]\n    [--folders]\n    [--files]";
    expectFailure({L"--tree", L"--recursive"}, "Missing required parameter --path. " + treeHelp);
    expectFailure({L"--tree", L"--PATH=x"}, "Missing required parameter --path. " + treeHelp);
    expectFailure({L"--tree", L"--path=x", L"--foo", L"--bar"}, "Unexpected parameter --bar. " + treeHelp);

    const std::string infoHelp = "Possible parameters is:\n    --path\n    [--permissions]\n    [--short-path]\n    "
                                 "[--long-path]\n    [--delete-access]\n    [--sharing-access]";
    expectFailure({L"--ex-info", L"--short-path"}, "Missing required parameter --path. " + infoHelp);
    expectFailure({L"--ex-info", L"--path=x", L"--recursive"}, "Unexpected parameter --recursive. " + infoHelp);

    const std::string effectiveHelp =
        "Possible parameters is:\n    --path\n    [--with-child-objects]\n    [--child-objects-only]";
    expectFailure({L"--effective-permissions", L"--with-child-objects"},
                  "Missing required parameter --path. " + effectiveHelp);
    expectFailure({L"--effective-permissions", L"--path=x", L"path"}, "Unexpected parameter path. " + effectiveHelp);
}

TEST(ParsingParams, ExtendedOperationsTakeExactlyTheirRequiredNames) {
    expectFailure({L"--ex-copy", L"--source=a"},
                  "Missing required parameter --destination. Possible parameters is:\n    --source\n    --destination");
    expectFailure({L"--ex-copy", L"--destination=b", L"--source=a", L"--recursive"},
                  "Unexpected parameter --recursive. Possible parameters is:\n    --source\n    --destination");
    expectFailure({L"--ex-rename", L"--new-name=b"},
                  "Missing required parameter --old-name. Possible parameters is:\n    --old-name\n    --new-name");
    for (const wchar_t* name : {L"--ex-remove", L"--ex-create-directory", L"--ex-touch"}) {
        expectFailure({name, L"--file=a"}, "Missing required parameter --path. Possible parameters is:\n    --path");
        expectFailure({name, L"--path=a", L"--force"},
                      "Unexpected parameter --force. Possible parameters is:\n    --path");
    }
}

TEST(ParsingParams, PermissionModesHaveTheirOwnParameterSets) {
    for (const wchar_t* mode : {L"--list", L"--list-common", L"--list-advanced"}) {
        // --file is no parse-time demand of the listing modes: their preparation refuses an empty path.
        expectFailure({L"--permissions", mode}, "Unable to prepare get permission");
        expectFailure({L"--permissions", mode, L"--file=a", L"--xml=b"},
                      "Unexpected parameter --xml. Possible parameters is:\n    [--file]");
    }
    expectFailure({L"--permissions", L"--set", L"--file=a"},
                  "Missing required parameter --xml. Possible parameters is:\n    --file\n    --xml");
    expectFailure({L"--permissions", L"--set", L"--file=a", L"--xml=b", L"--replace-on-children"},
                  "Unexpected parameter --replace-on-children. Possible parameters is:\n    --file\n    --xml");
    for (const wchar_t* mode : {L"--set-common", L"--set-advanced"})
        expectFailure({L"--permissions", mode, L"--xml=b", L"--inherit-from-parent"},
                      "Missing required parameter --file. Possible parameters is:\n    --file\n    --xml\n    "
                      "[--inherit-from-parent]\n    [--replace-on-children]");
    expectFailure({L"--permissions", L"--convert-common", L"--xml=b", L"--file=a"},
                  "Unexpected parameter --file. Possible parameters is:\n    --xml");
}

TEST(ParsingParams, PermissionsRefusesUnknownModesAndListingWithoutAPath) {
    const std::string modes = " not supported. Possible commands is:\n   --list\n   --list-common\n   "
                              "--list-advanced\n   --set\n   --set-common\n   --set-advanced\n   --convert-common";
    expectFailure({L"--permissions", L"--chmod", L"--file=a"}, "command --chmod" + modes);
    expectFailure({L"--permissions", L"--file=a"}, "command --file=a" + modes);
    expectFailure({L"--permissions", L"list"}, "command list" + modes);
    // A bare --file names the parameter but leaves the path empty.
    expectFailure({L"--permissions", L"--list", L"--file"}, "Unable to prepare get permission");
}

} // namespace
