// Shared set-up of the product module's tests: an installer over the engine tests' material with
// ZUVA's product information registered, temporary folders and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "product/product_info_zuva.h"
#include "tests/core/entry_test_support.h"
#include "tests/core/installer_fixture.h"

namespace producttest {

using dlx::String;
using entrytest::TempFolder;
using entrytest::WriteFile;

inline std::string ReadFile(const String& path) {
  std::ifstream in(std::filesystem::path(std::wstring(dlx::W(path))), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProductTest : public testenv::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    RegisterProductInfoZUVA();
  }
};

}  // namespace producttest
