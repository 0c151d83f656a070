// Catching what the code under test raises: a CKwoException is thrown as a
// pointer that the catcher owns.
#pragma once

#include "base/KwoException.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Runs fn, which must raise a CKwoException, and returns it owned; null, and
// a test failure, when nothing is raised.
template <typename Fn>
std::unique_ptr<CKwoException> Raised(Fn&& fn)
{
    try {
        fn();
    } catch (CKwoException* e) {
        return std::unique_ptr<CKwoException>(e);
    }
    ADD_FAILURE() << "no CKwoException was raised";
    return nullptr;
}

// The message of what fn raises; "" when nothing is raised.
template <typename Fn>
std::string RaisedMessage(Fn&& fn)
{
    const std::unique_ptr<CKwoException> e = Raised(fn);
    return e ? e->MessageText() : std::string();
}
