// GoogleTest, GoogleMock and the standard headers most tests include, parsed once for every
// test program (a build speed aid only: each test still includes what it uses).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>
