#pragma once
#include "platform/ui/View.h"

#include <memory>

namespace platform {

// A pointer to a view that reads as nullptr once the view has been destroyed.
class ViewPointer {
public:
    ViewPointer() = default;
    ViewPointer(View* view)
        : m_view(view)
        , m_token(view ? std::weak_ptr<char>(view->m_lifeToken) : std::weak_ptr<char>())
    {
    }
    View* get() const { return m_token.expired() ? nullptr : m_view; }
    explicit operator bool() const { return get() != nullptr; }
    bool operator==(const ViewPointer& o) const { return get() == o.get(); }

private:
    View* m_view = nullptr;
    std::weak_ptr<char> m_token;
};

} // namespace platform
