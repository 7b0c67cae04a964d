#include "skin/SkinGeometry.h"

#include <charconv>

namespace corvinta::skin {

std::optional<std::vector<Rect>> ParseGeometry(std::string_view text, double scale)
{
    std::vector<Rect> rects;
    while (!text.empty()) {
        const size_t end = text.find(';');
        std::string_view piece = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (piece.empty())
            break;
        int v[4];
        for (int i = 0; i < 4; ++i) {
            const size_t comma = piece.find(',');
            const std::string_view number = piece.substr(0, comma);
            const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), v[i]);
            if (number.empty() || ec != std::errc{} || ptr != number.data() + number.size())
                return std::nullopt;
            if ((i < 3) == (comma == std::string_view::npos))
                return std::nullopt; // too few or too many numbers
            piece = i < 3 ? piece.substr(comma + 1) : std::string_view{};
            v[i] = static_cast<int>(v[i] * scale + 0.5);
        }
        rects.push_back({v[0], v[1], v[2], v[3]});
    }
    return rects;
}

} // namespace corvinta::skin
