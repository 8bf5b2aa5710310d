#include "tools/EditHistory.h"

#include <algorithm>

VoxelOp VoxelOp::Inverse() const {
    VoxelOp inverse = *this;
    inverse.before = after;
    inverse.after = before;
    if (kind == kAdd)
        inverse.kind = kRemove;
    else if (kind == kRemove)
        inverse.kind = kAdd;
    return inverse;
}

bool EditStep::ChangesVoxelCount() const {
    return std::any_of(ops.begin(), ops.end(),
                       [](const VoxelOp& op) { return op.kind != VoxelOp::kChange; });
}

EditStep EditStep::Inverse() const {
    EditStep inverse = *this;
    inverse.ops.clear();
    inverse.ops.reserve(ops.size());
    for (auto it = ops.rbegin(); it != ops.rend(); ++it)
        inverse.ops.push_back(it->Inverse());
    std::swap(inverse.anchorBefore, inverse.anchorAfter);
    std::swap(inverse.fileNameBefore, inverse.fileNameAfter);
    return inverse;
}

std::uint64_t EditHistory::Push(EditStep step) {
    steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(done), steps.end());
    step.id = nextId++;
    steps.push_back(std::move(step));
    done = steps.size();
    return steps.back().id;
}

void EditHistory::PushBookkeeping(EditStep step) {
    step.bookkeeping = true;
    step.id = nextId++;
    const auto at = steps.begin() + static_cast<std::ptrdiff_t>(done);
    if (at == steps.end()) {
        steps.push_back(std::move(step));
    } else {
        EditStep inverse = step.Inverse();
        inverse.id = nextId++;
        const auto inserted = steps.insert(at, std::move(step));
        steps.insert(inserted + 1, std::move(inverse));
    }
    ++done;
}

bool EditHistory::CanUndo() const {
    return std::any_of(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(done),
                       [](const EditStep& s) { return !s.bookkeeping; });
}

bool EditHistory::CanRedo() const {
    return std::any_of(steps.begin() + static_cast<std::ptrdiff_t>(done), steps.end(),
                       [](const EditStep& s) { return !s.bookkeeping; });
}

std::vector<const EditStep*> EditHistory::Undo() {
    std::vector<const EditStep*> taken;
    if (!CanUndo())
        return taken;
    while (done > 0) {
        const EditStep& step = steps[--done];
        taken.push_back(&step);
        if (!step.bookkeeping)
            break;
    }
    return taken;
}

std::vector<const EditStep*> EditHistory::Redo() {
    std::vector<const EditStep*> taken;
    if (!CanRedo())
        return taken;
    while (done < steps.size()) {
        const EditStep& step = steps[done++];
        taken.push_back(&step);
        if (!step.bookkeeping)
            break;
    }
    // The bookkeeping that followed the step too, so that the list is in the order it had
    // when the step was first done, as an undo back to here finds it.
    while (done < steps.size() && steps[done].bookkeeping)
        taken.push_back(&steps[done++]);
    return taken;
}

EditStep* EditHistory::LastDone() {
    return done > 0 ? &steps[done - 1] : nullptr;
}

const EditStep* EditHistory::LastDone() const {
    return done > 0 ? &steps[done - 1] : nullptr;
}

const EditStep* EditHistory::LastRealDone() const {
    for (std::size_t i = done; i > 0; --i)
        if (!steps[i - 1].bookkeeping)
            return &steps[i - 1];
    return nullptr;
}

std::size_t EditHistory::GetUndoCount() const {
    return static_cast<std::size_t>(
        std::count_if(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(done),
                      [](const EditStep& s) { return !s.bookkeeping; }));
}

std::size_t EditHistory::GetRedoCount() const {
    return static_cast<std::size_t>(
        std::count_if(steps.begin() + static_cast<std::ptrdiff_t>(done), steps.end(),
                      [](const EditStep& s) { return !s.bookkeeping; }));
}

void EditHistory::Clear() {
    steps.clear();
    done = 0;
}
