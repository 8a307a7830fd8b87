#pragma once

#include <QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>

/** Runs @p task to its end in a nested event loop; returns its value or rethrows its exception
 * (QCoro::waitFor() of this QCoro version never returns when the task throws). */
template<typename T> T runTask(QCoro::Task<T> task)
{
    QEventLoop loop;
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    auto wrapper = [&]() -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(task);
                result = true;
            } else {
                result = co_await std::move(task);
            }
        } catch (...) {
            error = std::current_exception();
        }
        loop.quit();
    };
    auto running = wrapper();
    if (!result && !error)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}
