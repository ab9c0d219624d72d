#include "support/file_table_order.h"

#include <algorithm>
#include <stdexcept>

namespace testsupport {

std::vector<uint8_t> reorderFileTable(const std::vector<uint8_t>& cabinet,
                                      const std::vector<int>& order) {
    auto at32 = [&](std::size_t i) {
        return static_cast<uint32_t>(cabinet[i] | (cabinet[i + 1] << 8) | (cabinet[i + 2] << 16) |
                                     (cabinet[i + 3] << 24));
    };
    std::size_t table = at32(16);
    std::size_t count = static_cast<std::size_t>(cabinet[28] | (cabinet[29] << 8));
    if (order.size() != count) throw std::invalid_argument("order does not list every member");
    std::vector<std::vector<uint8_t>> entries;
    std::size_t at = table;
    for (std::size_t i = 0; i < count; ++i) {
        // size, offset, folder, date, time, attributes (16 bytes), then the name and its 0
        auto end =
            std::find(cabinet.begin() + static_cast<std::ptrdiff_t>(at + 16), cabinet.end(), 0);
        std::size_t next = static_cast<std::size_t>(end - cabinet.begin()) + 1;
        entries.emplace_back(cabinet.begin() + static_cast<std::ptrdiff_t>(at),
                             cabinet.begin() + static_cast<std::ptrdiff_t>(next));
        at = next;
    }
    std::vector<uint8_t> result = cabinet;
    std::size_t out = table;
    for (int index : order) {
        const auto& entry = entries.at(static_cast<std::size_t>(index));
        std::copy(entry.begin(), entry.end(), result.begin() + static_cast<std::ptrdiff_t>(out));
        out += entry.size();
    }
    return result;
}

std::vector<int> reverseOrder(int n) {
    std::vector<int> order;
    for (int i = n - 1; i >= 0; --i) order.push_back(i);
    return order;
}

std::vector<int> zigZagOrder(int n) {
    std::vector<int> order;
    for (int low = 0, high = n - 1; low <= high; ++low, --high) {
        order.push_back(low);
        if (low != high) order.push_back(high);
    }
    return order;
}

}  // namespace testsupport
