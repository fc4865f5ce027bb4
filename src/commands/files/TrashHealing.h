// The trash heals: what interrupted removals left there (a killed process, a restarted server)
// is deleted before the next removal on the volume uses the trash.
#pragma once
#include "paths/NormalPath.h"
#include <string>
#include <vector>

namespace files {

// Deletes, from the trash of the volume of each path, every item that no live removal marks
// (TrashClaim). Runs in the program's own context, before the identity switch: an account may
// neither list nor delete what other accounts' removals left, the trash's access list is made so.
// Never raises and never moves anything back; items that cannot be deleted are reported to the
// event log with the trash folder.
void healTrash(const std::vector<paths::NormalPath>& paths);

// A command whose operation may use the trash (removals, moves, copies that replace a folder):
// the trash of its inputs' volumes heals once they are checked, still in the program's context.
template <class Base> class HealsTrash : public Base {
public:
    using Base::Base;
    void prepare() override {
        Base::prepare();
        std::vector<paths::NormalPath> checked;
        for (size_t i = 0; i < this->inputs.size(); ++i) checked.push_back(this->normal(i));
        healTrash(checked);
    }
};

} // namespace files
