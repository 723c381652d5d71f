// EXPECT_THROW that looks at the message too: `statement` must throw `type` (or a class derived
// from it) whose message is `message`.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace vrk_test {

// The whole message: the tool's own messages may hold zero bytes, where what() ends.
template <typename Thrown>
std::string MessageOf(const Thrown& thrown) {
  if constexpr (requires { thrown.Message().ToStdString(); }) {
    return thrown.Message().ToStdString();
  } else {
    return thrown.what();
  }
}

}  // namespace vrk_test

#define EXPECT_THROW_MSG(statement, type, message)                                       \
  do {                                                                                   \
    try {                                                                                \
      statement;                                                                         \
      ADD_FAILURE() << #statement " threw nothing, not " #type;                          \
    } catch (const type& thrown_) {                                                      \
      EXPECT_EQ(::vrk_test::MessageOf(thrown_), std::string(message)) << #statement;     \
    } catch (...) {                                                                      \
      ADD_FAILURE() << #statement " threw something else than " #type;                   \
    }                                                                                    \
  } while (false)
