// Declarative message maps. Each entry carries a small typed thunk that calls
// the handler with the arguments its message form takes, so no member
// function pointer is ever cast to another signature.
#pragma once

#include <windows.h>

class CCmdTarget;

#define afx_msg

typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;  // window message, or WM_COMMAND
    UINT nCode;     // notification code for WM_COMMAND
    UINT nID;       // first control or command id
    UINT nLastID;   // last control or command id
    AFX_PMSG pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Notification code of commands (menu items, accelerators, IDOK, IDCANCEL).
#define CN_COMMAND 0

template <class Member> struct AfxHandlerClass;
template <class Class, class Result, class... Arguments> struct AfxHandlerClass<Result (Class::*)(Arguments...)>
{
    using type = Class;
};

template <auto Handler> typename AfxHandlerClass<decltype(Handler)>::type* AfxHandlerTarget(CCmdTarget* target)
{
    return static_cast<typename AfxHandlerClass<decltype(Handler)>::type*>(target);
}

// void Handler()
template <auto Handler> LRESULT AfxCallVoid(CCmdTarget* target, WPARAM, LPARAM)
{
    (AfxHandlerTarget<Handler>(target)->*Handler)();
    return 0;
}

// HCURSOR OnQueryDragIcon()
template <auto Handler> LRESULT AfxCallQueryDragIcon(CCmdTarget* target, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((AfxHandlerTarget<Handler>(target)->*Handler)());
}

// void OnTimer(UINT_PTR nIDEvent)
template <auto Handler> LRESULT AfxCallTimer(CCmdTarget* target, WPARAM wParam, LPARAM)
{
    (AfxHandlerTarget<Handler>(target)->*Handler)(static_cast<UINT_PTR>(wParam));
    return 0;
}

// LRESULT Handler(WPARAM, LPARAM)
template <auto Handler> LRESULT AfxCallMessage(CCmdTarget* target, WPARAM wParam, LPARAM lParam)
{
    return (AfxHandlerTarget<Handler>(target)->*Handler)(wParam, lParam);
}

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override; \
                                                      \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)        \
    const AFX_MSGMAP* theClass::GetMessageMap() const \
    {                                                 \
        return GetThisMessageMap();                   \
    }                                                 \
    const AFX_MSGMAP* theClass::GetThisMessageMap()   \
    {                                                 \
        typedef theClass ThisClass [[maybe_unused]];  \
        typedef baseClass TheBaseClass;               \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                        \
    {                                                                                            \
        0, 0, 0, 0, nullptr                                                                      \
    }                                                                                            \
    }                                                                                            \
    ;                                                                                            \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]}; \
    return &messageMap;                                                                          \
    }

#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &AfxCallVoid<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, &AfxCallQueryDragIcon<&ThisClass::OnQueryDragIcon>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &AfxCallVoid<&ThisClass::OnDestroy>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &AfxCallTimer<&ThisClass::OnTimer>},
#define ON_MESSAGE(message, memberFxn) {message, 0, 0, 0, &AfxCallMessage<memberFxn>},
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), &AfxCallVoid<memberFxn>},
#define ON_CONTROL(code, id, memberFxn) {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), &AfxCallVoid<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
