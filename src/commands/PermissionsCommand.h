// --permissions: lists the access rights of a file or folder, or sets them from a document.
#pragma once
#include "commands/QuarnClass.h"
#include "db/DatabaseConnection.h"
#include "permissions/AccountTable.h"
#include "permissions/PermissionListing.h"

#include <functional>
#include <memory>

class Permissions : public ClassicCommand {
public:
    // The mode is chosen by the first argument.
    enum Mode {
        Set = 1,
        SetAdvanced = 2,
        SetCommon = 3,
        ConvertCommon = 4,
        List = 5,
        ListCommon = 6,
        ListAdvanced = 7,
    };

    Permissions();
    int start(int argc, wchar_t** argv) override;
    // The listing modes need a path: "Unable to prepare get permission" without one.
    void prepare() override;
    void execute() override;

    static bool isListing(Mode mode) { return mode >= List; }

    Mode mode = List;
    std::wstring file; // "--file"; may be empty in the listing modes
    std::wstring xml;  // "--xml": the document itself for --set, a file name otherwise
    bool inheritFromParent = false;
    bool replaceOnChildren = false;
    // Where inheritance sources come from (the panel service unless a test says otherwise).
    permissions::InheritanceLookup inheritance = permissions::serviceInheritance();
    // The panel database of the account descriptions (connected on the first query).
    permissions::DatabaseOpener openDatabase = permissions::panelDatabase();

protected:
    // Access entries set on a folder flow down to everything below it, the denied root included.
    // The --xml file is only read.
    // With --replace-on-children the whole tree below the object is rewritten.
    pathpolicy::Reach reach(size_t index) const override {
        if (isListing(mode) || mode == ConvertCommon || index != 0) return pathpolicy::Reach::Within;
        return replaceOnChildren ? pathpolicy::Reach::Removal : pathpolicy::Reach::WholeTree;
    }

private:
    // The checked "--file" and "--xml" paths.
    const paths::NormalPath& target() const { return normal(0); }
    const paths::NormalPath& xmlFile() const { return normal(mode == ConvertCommon ? 0 : 1); }
    void setPermissions();
    void convertCommon();
    static void print(const std::wstring& xml);

    std::unique_ptr<db::DatabaseConnection> database_;
    std::unique_ptr<permissions::AccountTable> accounts_;
};
