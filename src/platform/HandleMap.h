// Internal: the maps from Win32 handles (HWND, HMENU) to the framework objects that wrap them.
// A permanent entry belongs to an object that was attached to its handle; a temporary entry is a
// wrapper the framework made for a handle nobody attached (CWnd::FromHandle) and owns: it frees
// the wrappers of the calling thread at idle time (see the modal loop) or in AfxDeleteTempMap,
// and all that remain when the module is unloaded.
//
// Temporary wrappers are tagged with the modal loop depth of the thread that made them, and a
// loop only frees the wrappers made at its own depth or deeper: a handler that holds a wrapper
// and runs a nested dialog keeps its wrapper valid.
#pragma once

#include "platform/Win32.h"

#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

class CWnd;
class CMenu;

namespace pellaton::platform::detail {

// The calling thread's modal loop depth (0 outside any modal loop).
int& ModalDepth() noexcept;

template <class Handle, class Object>
class HandleMap {
public:
    Object* LookupPermanent(Handle handle) const
    {
        std::lock_guard lock(mutex_);
        const auto found = permanent_.find(handle);
        return found != permanent_.end() ? found->second : nullptr;
    }

    // Records object as the owner of handle; false when another object already owns it.
    bool SetPermanent(Handle handle, Object* object)
    {
        std::lock_guard lock(mutex_);
        const auto [position, inserted] = permanent_.emplace(handle, object);
        return inserted || position->second == object;
    }

    void RemovePermanent(Handle handle, const Object* object)
    {
        std::lock_guard lock(mutex_);
        const auto found = permanent_.find(handle);
        if (found != permanent_.end() && found->second == object)
            permanent_.erase(found);
    }

    // The permanent object of handle, else the temporary wrapper (made by makeTemporary on first
    // use).
    template <class Factory>
    Object* FromHandle(Handle handle, Factory makeTemporary)
    {
        if (handle == nullptr)
            return nullptr;
        {
            std::lock_guard lock(mutex_);
            if (const auto found = permanent_.find(handle); found != permanent_.end())
                return found->second;
            if (const auto found = temporary_.find(handle); found != temporary_.end())
                return found->second.object.get();
        }
        std::unique_ptr<Object> made = makeTemporary(handle);
        std::lock_guard lock(mutex_);
        auto [position, inserted] =
            temporary_.emplace(handle, Temporary{nullptr, ::GetCurrentThreadId(), ModalDepth()});
        if (inserted)
            position->second.object = std::move(made);
        return position->second.object.get();
    }

    // Frees the calling thread's temporary wrappers made at modal depth minDepth or deeper.
    void DeleteTemporaries(int minDepth)
    {
        std::vector<std::unique_ptr<Object>> doomed;
        {
            std::lock_guard lock(mutex_);
            const DWORD thread = ::GetCurrentThreadId();
            for (auto it = temporary_.begin(); it != temporary_.end();) {
                if (it->second.thread == thread && it->second.depth >= minDepth) {
                    doomed.push_back(std::move(it->second.object));
                    it = temporary_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        // The wrappers are destroyed outside the lock (their destructors may look the map up).
    }

    std::size_t TemporaryCount() const
    {
        std::lock_guard lock(mutex_);
        return temporary_.size();
    }

private:
    struct Temporary {
        std::unique_ptr<Object> object;
        DWORD thread;
        int depth;
    };

    mutable std::mutex mutex_;
    std::unordered_map<Handle, Object*> permanent_;
    std::unordered_map<Handle, Temporary> temporary_;
};

// The process's maps of windows and menus.
HandleMap<HWND, CWnd>& WindowMap();
HandleMap<HMENU, CMenu>& MenuMap();

} // namespace pellaton::platform::detail
