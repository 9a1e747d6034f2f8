#pragma once

#include <windows.h>

#include <cstddef>
#include <type_traits>

class CWnd;

// One row of a window class's message table. WM_COMMAND and WM_NOTIFY rows also
// match on the notification code and a range of control ids; other rows leave
// those 0 and match on the message alone.
struct MessageRow {
    UINT message;
    UINT code;
    UINT firstId;
    UINT lastId;
    LRESULT (*handler)(CWnd& wnd, WPARAM wParam, LPARAM lParam);

    bool Matches(UINT msg, WPARAM wParam, LPARAM lParam) const;
};

// A class's own rows, chained to its base class's table, which is searched after them.
struct MessageTable {
    const MessageTable* base;
    const MessageRow* rows;
    std::size_t count;
};

namespace message_detail {

template <class T> struct MemberOf;
template <class C, class R, class... Args> struct MemberOf<R (C::*)(Args...)> {
    using Class = C;
};

// Unpacks the message for the handler's signature: no arguments (the result
// is 0), or the raw parameters.
template <auto Handler> LRESULT Invoke(CWnd& wnd, WPARAM wParam, LPARAM lParam)
{
    using C = typename MemberOf<decltype(Handler)>::Class;
    static_assert(std::is_base_of_v<CWnd, C>, "handlers belong to window classes");
    C& self = static_cast<C&>(wnd);
    if constexpr (std::is_invocable_v<decltype(Handler), C&>) {
        (self.*Handler)();
        return 0;
    } else {
        return (self.*Handler)(wParam, lParam);
    }
}

// Mouse messages: the key flags and the position in client coordinates.
template <auto Handler> LRESULT InvokeMouse(CWnd& wnd, WPARAM wParam, LPARAM lParam)
{
    using C = typename MemberOf<decltype(Handler)>::Class;
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    (static_cast<C&>(wnd).*Handler)(static_cast<UINT>(wParam), point);
    return 0;
}

// Messages whose one argument is their wParam (a command, a state, a flag).
template <auto Handler> LRESULT InvokeWParam(CWnd& wnd, WPARAM wParam, LPARAM)
{
    using C = typename MemberOf<decltype(Handler)>::Class;
    return (static_cast<C&>(wnd).*Handler)(static_cast<UINT>(wParam));
}

} // namespace message_detail

// Row makers for tables built at compile time, e.g.
//   OnMessage<&CMyWnd::OnPaint>(WM_PAINT), OnCommand<&CMyDialog::OnBrowse>(1004).
template <auto Handler> constexpr MessageRow OnMessage(UINT message)
{
    return MessageRow{message, 0, 0, 0, &message_detail::Invoke<Handler>};
}

// Handler: void (UINT flags, POINT point).
template <auto Handler> constexpr MessageRow OnMouse(UINT message)
{
    return MessageRow{message, 0, 0, 0, &message_detail::InvokeMouse<Handler>};
}

// Handler: LRESULT (UINT wParam).
template <auto Handler> constexpr MessageRow OnWParam(UINT message)
{
    return MessageRow{message, 0, 0, 0, &message_detail::InvokeWParam<Handler>};
}

template <auto Handler> constexpr MessageRow OnCommandRange(UINT code, UINT firstId, UINT lastId)
{
    return MessageRow{WM_COMMAND, code, firstId, lastId, &message_detail::Invoke<Handler>};
}

// A button click or menu item: notification code 0.
template <auto Handler> constexpr MessageRow OnCommand(UINT id)
{
    return OnCommandRange<Handler>(0, id, id);
}

template <std::size_t N>
constexpr MessageTable MakeMessageTable(const MessageTable* base, const MessageRow (&rows)[N])
{
    return MessageTable{base, rows, N};
}
