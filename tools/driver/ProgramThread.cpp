#include "tools/driver/ProgramThread.h"

#include <gtest/gtest.h>

namespace {
constexpr auto kPatience = std::chrono::seconds(10);
}

void AwaitAnswer(const std::future<void>& answered)
{
    if (answered.wait_for(kPatience) != std::future_status::ready) {
        ADD_FAILURE() << "the program stopped answering";
        throw ProgramNotAnswering{};
    }
}

void Settle()
{
    auto settled = std::make_shared<std::promise<void>>();
    auto future = settled->get_future();
    PostToProgram([settled] { PostToProgram([settled] { settled->set_value(); }); });
    AwaitAnswer(future);
}

void Act(std::function<void()> input)
{
    PostToProgram(std::move(input));
    Settle();
}
