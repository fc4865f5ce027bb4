#include "app/Exceptions.h"
#include "commands/Params.h"

#include <gtest/gtest.h>

namespace {

struct Args {
    explicit Args(std::vector<std::wstring> a) : storage(std::move(a)) {
        for (auto& s : storage) pointers.push_back(s.data());
    }
    Params params() { return Params(static_cast<int>(pointers.size()), pointers.data()); }
    std::vector<std::wstring> storage;
    std::vector<wchar_t*> pointers;
};

std::wstring failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const vexception& e) {
        return e.message() + L"|" + std::wstring(e.contexts().at(0).origin.begin(), e.contexts().at(0).origin.end()) +
               L"|" + std::to_wstring(e.contexts().at(0).line);
    }
    return L"no failure";
}

const NameList kTreeRequired{L"--path"};
const NameList kTreeOptional{L"--recursive", L"--permissions", L"--file-info", L"--folders", L"--files"};

TEST(Params, SplitsAtTheFirstEqualsSignAndKeepsTheLastValue) {
    Args a({L"--path=C:\\a=b", L"--flag", L"--empty=", L"--x=1", L"--x=2"});
    Params p = a.params();
    EXPECT_EQ(p.value(L"--path"), L"C:\\a=b");
    EXPECT_TRUE(p.has(L"--flag"));
    EXPECT_EQ(p.value(L"--flag"), L"");
    EXPECT_TRUE(p.has(L"--empty"));
    EXPECT_EQ(p.value(L"--x"), L"2");
    EXPECT_EQ(p.size(), 4u);
}

TEST(Params, MissingRequiredNameGivesTheHelpOfBothLists) {
    Args a({L"--PATH=x"});
    Params p = a.params();
    EXPECT_EQ(failure([&] { p.check(kTreeRequired, kTreeOptional); }),
              L"Missing required parameter --path. Possible parameters is:\n    --path\n    [--recursive]\n    "
              L"[--permissions]\n    [--file-info]\n    [--folders]\n    [--files]|Params::check|85");
}

TEST(Params, FirstUnexpectedNameInMapOrderIsReported) {
    Args a({L"--path=x", L"--zeta", L"--foo", L"--internal-package-name=pkg"});
    Params p = a.params();
    EXPECT_EQ(failure([&] { p.check({L"--path"}, {}); }),
              L"Unexpected parameter --foo. Possible parameters is:\n    --path|Params::check|118");
}

TEST(Params, HelpForms) {
    EXPECT_EQ(Params::help({}, {}), L"");
    EXPECT_EQ(Params::help({}, {L"--a", L"--b"}), L"Possible parameters is:\n    [--a]\n    [--b]");
    EXPECT_EQ(Params::help({L"--s", L"--d"}, {}), L"Possible parameters is:\n    --s\n    --d");
}

TEST(Params, EmptyValuePassesAndInternalPackageNameIsIgnored) {
    Args a({L"--path=", L"--internal-package-name"});
    Params p = a.params();
    EXPECT_NO_THROW(p.check({L"--path"}, {}));
    EXPECT_EQ(p.value(L"--path"), L"");
}

TEST(Params, NonDashedArgumentIsAnUnexpectedName) {
    Args a({L"--path=x", L"stray"});
    Params p = a.params();
    EXPECT_EQ(failure([&] { p.check({L"--path"}, {}); }),
              L"Unexpected parameter stray. Possible parameters is:\n    --path|Params::check|118");
}

TEST(Params, ValueLookupOfAMissingNameEndsWithDotBlank) {
    Args a({});
    Params p = a.params();
    EXPECT_EQ(failure([&] { p.value(L"--source"); }),
              L"Missing required parameter --source. |Params::reportMissingParameter|38");
    EXPECT_EQ(p.value(L"--source", false, L"def"), L"def");
}

} // namespace
