// effectiveRights against the system's own AccessCheck over seeded random DACLs and real tokens.
//
// Wine's AccessCheck answers like Windows only when asked for one bit at a time with an owner
// that no token holds, and it lets deny-only groups match nothing and treats OWNER RIGHTS as an
// ordinary SID. The reference therefore asks it bit by bit and applies those three documented
// rules itself: the owner's implicit READ_CONTROL | WRITE_DAC (unless an OWNER RIGHTS entry
// applies), OWNER RIGHTS entries standing for the owner, and deny entries of deny-only groups.
// Asking bit by bit gives the whole mask's answer: the walk refuses a mask exactly when one of
// its bits meets a deny entry (or the end of the list) before an allow entry.
#include "security/EffectiveRights.h"

#include "platform/Handle.h"
#include "security/AclDump.h"
#include "security/FileRights.h"
#include "security/SecurityInfo.h"
#include "security/Token.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

using namespace security;

constexpr unsigned kSeed = 20261209;
constexpr int kCases = 20000;

const Sid& ownerRightsSid() {
    static const Sid sid = Sid::fromString(L"S-1-3-4");
    return sid;
}
// The owner of every descriptor handed to AccessCheck: no token holds it.
const Sid& nobodySid() {
    static const Sid sid = Sid::fromString(L"S-1-5-21-5-6-7-4000");
    return sid;
}
// A group the caller list carries as disabled; the tokens lack it, as the system ignores it.
const Sid& disabledSid() {
    static const Sid sid = Sid::fromString(L"S-1-5-21-5-6-7-2001");
    return sid;
}
const std::vector<Sid>& foreignSids() {
    static const std::vector<Sid> sids = {Sid::fromString(L"S-1-5-21-5-6-7-3001"),
                                          Sid::fromString(L"S-1-5-21-5-6-7-3002")};
    return sids;
}

// Every bit one of the thirteen rights needs.
DWORD allRightBits() {
    DWORD bits = 0;
    for (const FileRight& right : kFileRights)
        bits |= right.mask;
    return bits;
}

// An impersonation token to ask AccessCheck with, and what the program is told about it.
struct Subject {
    platform::Handle token;
    Caller caller;
    std::vector<Sid> enabled;  // user and groups that match allow and deny entries
    std::vector<Sid> denyOnly; // groups that match deny entries only
};

bool contains(const std::vector<Sid>& sids, const Sid& sid) {
    return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

// The token as the program reads it (through the thread token, as a command does) plus a
// disabled group the token lacks.
Subject subjectOf(HANDLE primary) {
    Subject subject;
    if (!DuplicateTokenEx(primary, TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, nullptr,
                          SecurityImpersonation, TokenImpersonation, subject.token.receive()))
        ADD_FAILURE() << "DuplicateTokenEx " << GetLastError();
    if (!SetThreadToken(nullptr, subject.token.get())) ADD_FAILURE() << "SetThreadToken " << GetLastError();
    subject.caller = callerSids();
    Token read = Token::caller(TOKEN_QUERY);
    subject.enabled.push_back(read.user());
    for (const TokenGroup& group : read.groups()) {
        if (group.denyOnly())
            subject.denyOnly.push_back(group.sid);
        else if (group.enabled())
            subject.enabled.push_back(group.sid);
    }
    RevertToSelf();
    subject.caller.sids.push_back({disabledSid(), SidUse::disabled});
    return subject;
}

// The process token, and a restricted copy of it in which every other group is deny-only.
std::vector<Subject> subjects() {
    platform::Handle process, restricted;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, process.receive()))
        ADD_FAILURE() << "OpenProcessToken " << GetLastError();
    std::vector<Subject> out;
    out.push_back(subjectOf(process.get()));
    std::vector<SID_AND_ATTRIBUTES> disable;
    const std::vector<Sid>& sids = out[0].enabled; // the user first
    for (size_t i = 1; i < sids.size(); i += 2)
        disable.push_back({sids[i].get(), 0});
    if (!CreateRestrictedToken(process.get(), 0, static_cast<DWORD>(disable.size()), disable.data(), 0,
                               nullptr, 0, nullptr, restricted.receive()))
        ADD_FAILURE() << "CreateRestrictedToken " << GetLastError();
    out.push_back(subjectOf(restricted.get()));
    return out;
}

struct Case {
    Acl dacl;
    Sid owner;
    bool takeOwnership = false;
    bool ownerRightsEntry = false;  // OWNER RIGHTS appears in the DACL
    bool disabledGroupUsed = false; // the disabled group is the owner or in the DACL
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    Case next(const Subject& subject) {
        Case c;
        c.owner = pickOwner(subject);
        c.takeOwnership = chance(15);
        c.disabledGroupUsed = c.owner == disabledSid();
        if (chance(2)) return c; // no DACL
        c.dacl = Acl::emptyList();
        const int entries = below(7);
        for (int i = 0; i < entries; ++i) {
            Sid sid = pickSid(subject);
            c.ownerRightsEntry |= sid == ownerRightsSid();
            c.disabledGroupUsed |= sid == disabledSid();
            const BYTE type = pickType();
            c.dacl.append(Ace::make(type, pickFlags(), pickMask(), sid));
        }
        return c;
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T> const T& oneOf(const std::vector<T>& v) {
        return v[below(static_cast<int>(v.size()))];
    }

    Sid pickOwner(const Subject& subject) {
        int roll = below(100);
        if (roll < 20) return subject.enabled[0];
        if (roll < 35) return oneOf(subject.enabled);
        if (roll < 50 && !subject.denyOnly.empty()) return oneOf(subject.denyOnly);
        if (roll < 65) return disabledSid();
        return oneOf(foreignSids());
    }
    Sid pickSid(const Subject& subject) {
        int roll = below(100);
        if (roll < 20) return subject.enabled[0];
        if (roll < 45) return oneOf(subject.enabled);
        if (roll < 60 && !subject.denyOnly.empty()) return oneOf(subject.denyOnly);
        if (roll < 70) return disabledSid();
        if (roll < 82) return ownerRightsSid();
        return oneOf(foreignSids());
    }
    BYTE pickType() {
        int roll = below(100);
        if (roll < 5) return SYSTEM_AUDIT_ACE_TYPE;
        return roll < 55 ? ACCESS_ALLOWED_ACE_TYPE : ACCESS_DENIED_ACE_TYPE;
    }
    BYTE pickFlags() {
        static const std::vector<BYTE> flags = {0, 0, 0, INHERITED_ACE, 0x3, 0x13, 0x9, 0xA, 0xB, 0x1B};
        return oneOf(flags);
    }
    DWORD pickMask() {
        static const std::vector<DWORD> whole = {
            FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
            FILE_ALL_ACCESS,   GENERIC_READ,       GENERIC_WRITE,
            GENERIC_EXECUTE,   GENERIC_ALL,        READ_CONTROL | WRITE_DAC};
        int roll = below(100);
        if (roll < 25) return oneOf(whole);
        if (roll < 45) return kFileRights[below(13)].mask;
        std::vector<DWORD> bits;
        for (DWORD bit = 1; bit; bit <<= 1)
            if (allRightBits() & bit) bits.push_back(bit);
        if (roll < 70) return oneOf(bits);
        DWORD mask = 0;
        for (DWORD bit : bits)
            if (chance(30)) mask |= bit;
        if (chance(10)) mask |= GENERIC_READ;
        return mask;
    }

    std::mt19937 random_;
};

bool accessCheckGrants(AbsoluteDescriptor& descriptor, HANDLE token, DWORD bit) {
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    BYTE privileges[256];
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(descriptor.get(), token, bit, &mapping, reinterpret_cast<PRIVILEGE_SET*>(privileges),
                     &privilegesSize, &granted, &status))
        ADD_FAILURE() << "AccessCheck " << GetLastError();
    return status != FALSE;
}

// The rights the system grants: AccessCheck bit by bit, the documented rules applied here.
DWORD systemRights(const Case& c, const Subject& subject) {
    const bool isOwner = contains(subject.enabled, c.owner);
    bool ownerRightsApply = false;
    Acl asked = c.dacl;
    if (!c.dacl.absent()) {
        asked = Acl::emptyList();
        for (const Ace& ace : c.dacl.aces()) {
            const bool effective = !(ace.flags() & INHERIT_ONLY_ACE) && ace.type() != SYSTEM_AUDIT_ACE_TYPE;
            Sid sid = ace.sid();
            if (sid == ownerRightsSid()) {
                ownerRightsApply |= effective;
                if (isOwner) sid = c.owner; // an enabled SID of the token: it matches both types
            } else if (ace.isDeny() && contains(subject.denyOnly, sid)) {
                sid = subject.enabled[0];
            }
            asked.append(Ace::make(ace.type(), ace.flags(), ace.mask(), sid));
        }
    }
    AbsoluteDescriptor descriptor(nobodySid(), nobodySid(), asked);
    DWORD granted = 0;
    if (isOwner && !ownerRightsApply) granted |= READ_CONTROL | WRITE_DAC;
    if (c.takeOwnership) granted |= WRITE_OWNER;
    // Each bit is asked at most once, and a right's bits only until one is refused: SYNCHRONIZE,
    // which most rights need, first.
    DWORD refused = 0;
    auto grants = [&](DWORD bit) {
        if (!(granted & bit) && !(refused & bit))
            (accessCheckGrants(descriptor, subject.token.get(), bit) ? granted : refused) |= bit;
        return (granted & bit) != 0;
    };
    DWORD rights = 0;
    for (const FileRight& right : kFileRights) {
        bool held = !(right.mask & SYNCHRONIZE) || grants(SYNCHRONIZE);
        for (DWORD bit = 1; held && bit; bit <<= 1)
            held = !(right.mask & bit) || grants(bit);
        if (held) rights |= right.bit;
    }
    return rights;
}

DWORD programRights(const Case& c, const Subject& subject) {
    Caller caller = subject.caller;
    caller.takeOwnership = c.takeOwnership;
    return effectiveRights(c.dacl, c.owner, caller);
}

struct Tally {
    long agree = 0, total = 0;
    void add(DWORD a, DWORD b) {
        total += 13;
        agree += 13 - __builtin_popcount((a ^ b) & kAllFileRights);
    }
    double percent() const { return total ? 100.0 * agree / total : 100.0; }
};

TEST(EffectiveRightsDifferential, AgreesWithTheSystemsAccessCheck) {
    std::vector<Subject> tokens = subjects();
    ASSERT_FALSE(tokens[1].denyOnly.empty()) << "the restricted token has no deny-only group";
    Generator generator(kSeed);
    Tally overall, ownerRights, disabled;
    int disagreements = 0;
    for (int i = 0; i < kCases; ++i) {
        const Subject& subject = tokens[i % 2];
        Case c = generator.next(subject);
        c.takeOwnership |= subject.caller.takeOwnership;
        const DWORD expected = systemRights(c, subject);
        const DWORD actual = programRights(c, subject);
        overall.add(expected, actual);
        if (c.ownerRightsEntry) ownerRights.add(expected, actual);
        if (c.disabledGroupUsed) disabled.add(expected, actual);
        if (expected != actual && ++disagreements <= 5)
            ADD_FAILURE() << "case " << i << " (seed " << kSeed << "): system " << std::hex << expected
                          << ", program " << actual << "; owner " << c.owner.toString() << ", subject "
                          << i % 2 << "\n"
                          << (c.dacl.absent() ? std::wstring(L"no DACL") : aclDump(c.dacl));
    }
    std::printf("agreement over %d cases: %.2f%% of rights; OWNER RIGHTS %.2f%% (%ld); disabled group "
                "%.2f%% (%ld)\n",
                kCases, overall.percent(), ownerRights.percent(), ownerRights.total / 13, disabled.percent(),
                disabled.total / 13);
    EXPECT_EQ(disagreements, 0);
}

} // namespace
