#pragma once
// How a script beside the program reaches the program's thread. Each driver
// says how a task is posted there; waiting for answers is the same for all.
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <type_traits>

// Thrown into a script whose program stopped answering, to end it.
struct ProgramNotAnswering {};

// Defined by each driver: queues a task to run on the program's thread.
void PostToProgram(std::function<void()> task);

// Waits a bounded time for an answer; fails the test and ends the script otherwise.
void AwaitAnswer(const std::future<void>& answered);

// Runs `function` on the program's thread and returns what it returns.
template <class Function>
auto OnGuiThread(Function function) -> decltype(function())
{
    using Result = decltype(function());
    auto promise = std::make_shared<std::promise<Result>>();
    auto future = promise->get_future();
    auto answered = std::make_shared<std::promise<void>>();
    auto done = answered->get_future();
    PostToProgram([promise, answered, function]() mutable {
        if constexpr (std::is_void_v<Result>) {
            function();
            promise->set_value();
        } else {
            promise->set_value(function());
        }
        answered->set_value();
    });
    AwaitAnswer(done);
    return future.get();
}

// Returns once the program has handled what was posted before: the first
// check runs when the input's handler returned or waits in a modal window
// that it opened; the second, posted from the first, runs only after a loop
// that the input ended has returned.
void Settle();

// Posts an input and returns once the program has settled.
void Act(std::function<void()> input);
