#pragma once
// The one installed presenter of a kind (alerts, panels): the application's dialogs until a test
// installs its own, and back to the dialogs when it installs nullptr.
#include <memory>

namespace platform {

template <typename Presenter, typename Dialogs> class PresenterSlot {
public:
    static Presenter& current() { return *slot(); }
    // Returns the presenter replaced, so that a test can put it back.
    static std::shared_ptr<Presenter> install(std::shared_ptr<Presenter> presenter)
    {
        auto previous = slot();
        slot() = presenter ? std::move(presenter) : std::make_shared<Dialogs>();
        return previous;
    }

private:
    static std::shared_ptr<Presenter>& slot()
    {
        static std::shared_ptr<Presenter> presenter = std::make_shared<Dialogs>();
        return presenter;
    }
};

} // namespace platform
