// Listeners of one kind, told in the order in which they were added: the
// reporter's and the run's events both reach theirs this way. The owner
// does not own them.
#pragma once

#include "text/list.h"

template <typename Listener>
class Listeners {
public:
    bool Add(Listener* listener) { return listeners_.Add(listener); }

    // Calls tell(listener) on each.
    template <typename Call>
    void Tell(Call tell) const {
        for (Listener* listener : listeners_) tell(*listener);
    }
    // Asks each in turn until one answers true; false when none does.
    template <typename Question>
    bool Any(Question ask) const {
        for (Listener* listener : listeners_) {
            if (ask(*listener))
                return true;
        }
        return false;
    }

private:
    List<Listener*> listeners_;
};
