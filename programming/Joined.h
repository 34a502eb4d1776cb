// Text made of several parts in one allocation. The size-bound programs build
// their messages so: a chain of + costs about twice the code.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

std::string Joined(std::initializer_list<std::string_view> parts);
