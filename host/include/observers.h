// A list of observers for the hold and the scene: added and removed while they are told.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

template <class Observer>
class ObserverList {
public:
    // False for null, for an observer listed already, or when memory runs out.
    bool Add(Observer* observer) noexcept
    {
        if (!observer || Contains(observer)) return false;
        try {
            observers_.push_back(observer);
        } catch (...) {
            return false;
        }
        return true;
    }

    // An observer removed while the list is being told hears nothing more.
    bool Remove(Observer* observer) noexcept
    {
        auto found = std::find(observers_.begin(), observers_.end(), observer);
        if (!observer || found == observers_.end()) return false;
        if (telling_ > 0)
            *found = nullptr;
        else
            observers_.erase(found);
        return true;
    }

    bool Contains(const Observer* observer) const noexcept
    {
        return observer &&
               std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
    }

    bool Empty() const noexcept { return Count() == 0; }
    int Count() const noexcept
    {
        return static_cast<int>(observers_.size()) -
               static_cast<int>(std::count(observers_.begin(), observers_.end(), nullptr));
    }

    // Calls tell(observer) for each, in the order they were added. The observers' operations
    // are noexcept: one that fails cannot leave the hold or the scene half told.
    template <class Call>
    void Tell(Call tell) noexcept
    {
        ++telling_;
        for (std::size_t i = 0; i < observers_.size(); ++i)
            if (Observer* observer = observers_[i]) tell(*observer);
        if (--telling_ == 0)
            observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr),
                             observers_.end());
    }

private:
    std::vector<Observer*> observers_;
    int telling_ = 0;
};
