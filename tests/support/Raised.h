// Catching what the code under test raises: a CKwoException is thrown as a
// pointer that the catcher owns.
#pragma once

#include "base/KwoException.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Runs fn and returns what it raised, owned; null when it raised nothing.
template <typename Fn>
std::unique_ptr<CKwoException> RaisedIfAny(Fn&& fn)
{
    try {
        fn();
    } catch (CKwoException* e) {
        return std::unique_ptr<CKwoException>(e);
    }
    return nullptr;
}

// The same for an fn that must raise: nothing raised is a test failure.
template <typename Fn>
std::unique_ptr<CKwoException> Raised(Fn&& fn)
{
    std::unique_ptr<CKwoException> e = RaisedIfAny(fn);
    if (!e)
        ADD_FAILURE() << "no CKwoException was raised";
    return e;
}

// The message of what fn raises; "" when nothing is raised.
template <typename Fn>
std::string RaisedMessage(Fn&& fn)
{
    const std::unique_ptr<CKwoException> e = Raised(fn);
    return e ? e->MessageText() : std::string();
}
