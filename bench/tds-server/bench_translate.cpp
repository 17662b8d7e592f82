// Times the T-SQL translator on statements of 1,000 to 1,000,000 characters (a long 1+1+... sum, a
// long OR chain of comparisons and a long IN list) and prints the time per character of each size
// and the ratio of the largest to the smallest: translation should cost the same per character.
// Usage: bench_tds_translate [NAME]   (only the shapes whose name contains NAME)
#include "tools/tds-server/translator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

std::string grow(const std::string& head, const std::string& term, size_t size)
{
    std::string s = head;
    while (s.size() + term.size() <= size)
        s += term;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string only = argc > 1 ? argv[1] : "";
    struct Shape
    {
        const char* name;
        std::function<std::string(size_t)> make;
    };
    const Shape shapes[] = {
        {"1+1+...", [](size_t n) { return grow("select 1", "+1", n); }},
        {"a+b+... (run-time add)", [](size_t n) { return grow("select a", "+a", n) + " from t"; }},
        {"OR chain", [](size_t n) { return grow("select 1 from t where a = 0", " or a = 1", n); }},
        {"IN list", [](size_t n) { return grow("select 1 from t where a in (0", ",1", n) + ")"; }},
        {"INSERT rows",
         [](size_t n) { return grow("insert into t (a, b) values (1, 'x')", ", (1, 'x')", n); }},
    };
    for (const auto& shape : shapes) {
        if (!only.empty() && std::string(shape.name).find(only) == std::string::npos)
            continue;
        std::printf("%s\n", shape.name);
        double smallest = 0, largest = 0;
        for (size_t size : {1000u, 10000u, 100000u, 1000000u}) {
            const std::string sql = shape.make(size);
            const int reps = static_cast<int>(std::max<size_t>(1, 2000000 / size));
            const auto start = std::chrono::steady_clock::now();
            size_t out = 0;
            for (int r = 0; r < reps; ++r) {
                // Translation as the session does it: the batch, then each statement's type slots filled.
                auto statements = rimo::tds::translateBatch(sql);
                for (auto& st : statements)
                    rimo::tds::resolveTypeSlots(st.sql,
                                                [](rimo::tds::TypeSlot, const std::string&,
                                                   const std::string&) { return std::string("int~"); });
                out += statements.size();
            }
            const double ns =
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
            const double perChar = ns / reps / static_cast<double>(sql.size());
            if (size == 1000u)
                smallest = perChar;
            largest = perChar;
            std::printf("  %8zu chars: %7.1f ns/char (%zu statements)\n", sql.size(), perChar, out / reps);
        }
        std::printf("  largest/smallest: %.2f\n", largest / smallest);
    }
    return 0;
}
