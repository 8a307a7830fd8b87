#pragma once

#include <QCoroTask>

#include <exception>
#include <optional>

/** Runs @p task to its end in a nested event loop; returns its value or rethrows its exception
 * (QCoro::waitFor() of this QCoro version never returns when the task throws). */
template <typename T> T runTask(QCoro::Task<T> task)
{
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    QCoro::waitFor([&]() -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>)
                co_await std::move(task);
            else
                result = co_await std::move(task);
        } catch (...) {
            error = std::current_exception();
        }
    }());
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}
