// How the grid's subtotal rows are found and totalled before the grid puts them in.
#include "controls/grid_subtotals.h"

#include <algorithm>
#include <utility>

#include "controls/grid_format.h"
#include "values/variant.h"

namespace korvane::controls {
namespace {

struct Group {
  int first = 0;  // first and last row it spans, subtotal rows of inner levels included
  int last = 0;
  std::vector<int> data;
  std::string value;
};

// Outline levels nest: a subtotal row of the group column's level or a lower one (a column
// further left, -1 outermost) ends a group; rows of higher levels lie inside groups.
std::vector<Group> FindGroups(const Grid& grid, int group_on, bool below) {
  auto is_break = [&grid, group_on](int r) {
    return grid.IsSubtotal(r) && grid.RowOutlineLevel(r) <= group_on;
  };
  std::vector<Group> groups;
  for (int r = grid.fixed_rows(); r < grid.rows();) {
    if (is_break(r)) {
      ++r;
      continue;
    }
    int end = r;
    while (end < grid.rows() && !is_break(end)) ++end;
    // Inner subtotal rows belong to the group of their own data rows: the rows above them
    // when subtotals go below, the rows below them otherwise.
    const std::size_t segment_start = groups.size();
    std::vector<int> pending;
    for (int i = r; i < end; ++i) {
      if (grid.IsSubtotal(i)) {
        if (below && groups.size() > segment_start) {
          groups.back().last = i;
        } else {
          pending.push_back(i);
        }
        continue;
      }
      std::string value = group_on >= 0 ? grid.TextMatrix(i, group_on) : std::string();
      if (groups.size() == segment_start || groups.back().value != value) {
        Group group;
        group.first = pending.empty() ? i : pending.front();
        group.value = std::move(value);
        groups.push_back(std::move(group));
      }
      groups.back().last = i;
      groups.back().data.push_back(i);
      pending.clear();
    }
    if (!pending.empty() && groups.size() > segment_start) groups.back().last = pending.back();
    r = end;
  }
  return groups;
}

std::optional<double> TotalOf(const Grid& grid, const Group& group, const SubtotalSpec& sum_rule,
                              double grand_sum) {
  double sum = 0;
  int numbers = 0;
  int filled = 0;
  double max = 0;
  double min = 0;
  for (int r : group.data) {
    const std::string text = grid.TextMatrix(r, sum_rule.total_on);
    if (!text.empty()) ++filled;
    if (!IsNumericText(text)) continue;
    const double v = NumericValue(text);
    max = numbers == 0 ? v : std::max(max, v);
    min = numbers == 0 ? v : std::min(min, v);
    sum += v;
    ++numbers;
  }
  switch (sum_rule.function) {
    case SubtotalFunction::kSum:
      return sum;
    case SubtotalFunction::kPercent:
      return grand_sum == 0 ? 0.0 : sum / grand_sum * 100.0;
    case SubtotalFunction::kCount:
      return filled;
    case SubtotalFunction::kAverage:
      if (numbers == 0) return std::nullopt;
      return sum / numbers;
    case SubtotalFunction::kMax:
      if (numbers == 0) return std::nullopt;
      return max;
    case SubtotalFunction::kMin:
      if (numbers == 0) return std::nullopt;
      return min;
    default:
      return std::nullopt;
  }
}

std::string CaptionFor(const std::string& caption_format, const std::string& value) {
  std::string caption = caption_format;
  for (std::size_t at = caption.find("%s"); at != std::string::npos;
       at = caption.find("%s", at + value.size())) {
    caption.replace(at, 2, value);
  }
  return caption;
}

}  // namespace

SubtotalPlan PlanSubtotals(const Grid& grid, const SubtotalSpec& sum_rule) {
  const int g = sum_rule.group_on;
  const bool below = grid.subtotal_position() == SubtotalPosition::kBelow;
  const std::vector<Group> groups = FindGroups(grid, g, below);

  double grand_sum = 0;
  if (sum_rule.function == SubtotalFunction::kPercent) {
    for (const Group& group : groups) {
      for (int r : group.data) {
        const std::string text = grid.TextMatrix(r, sum_rule.total_on);
        if (IsNumericText(text)) grand_sum += NumericValue(text);
      }
    }
  }

  SubtotalPlan plan;
  plan.caption_col = g >= 0 ? g : grid.fixed_cols();
  // Bottom up, so that a row put in leaves the groups above where they were; the totals are
  // taken on the rows as they stand, which a row put in further down does not move.
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    const Group& group = *it;
    SubtotalPlacement placement;
    const int neighbour = below ? group.last + 1 : group.first - 1;
    if (neighbour >= grid.fixed_rows() && neighbour < grid.rows() && grid.IsSubtotal(neighbour) &&
        grid.RowOutlineLevel(neighbour) == g) {
      placement.row = neighbour;  // made by an earlier call for another total column
    } else {
      placement.row = below ? group.last + 1 : group.first;
      placement.fresh = true;
      placement.caption = CaptionFor(sum_rule.caption, group.value);
    }
    if (const std::optional<double> total = TotalOf(grid, group, sum_rule, grand_sum)) {
      placement.total =
          sum_rule.format.empty() ? FormatNumber(*total) : FormatNumberVb(*total, sum_rule.format);
    }
    plan.placements.push_back(std::move(placement));
  }
  return plan;
}

}  // namespace korvane::controls
