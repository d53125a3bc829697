#include "drawing/schedule_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "instance/utf8.h"

namespace converter {
namespace {

// A palette that reads in print and for colour-blind readers (Okabe and
// Ito's blues), with red kept for violations alone, which are also marked by
// their shape: an arrow, an outline, a fill above a dashed line.
constexpr const char* bar_colour = "#0072b2";
constexpr const char* use_colour = "#56b4e9";
constexpr const char* violation_colour = "#d00000";
constexpr const char* mark_colour = "#555555";
constexpr const char* grid_colour = "#dddddd";

constexpr double left_margin = 130;
constexpr double chart_width = 1000;
constexpr double right_margin = 40;
constexpr double gantt_top = 84;
constexpr double profile_height = 90;   // of the plot, within its section
constexpr double profile_section = 116; // plot, label and gap
constexpr double nonrenewable_section = 42;

void append_number(std::string& out, std::int64_t value) { out += std::to_string(value); }

// A coordinate to two decimals at most, without trailing zeros.
void append_coordinate(std::string& out, double value) {
    // A picture's coordinates stay within a few thousand pixels; this keeps
    // any other value from reaching llround.
    value = std::isfinite(value) ? std::clamp(value, -1e9, 1e9) : 0;
    const auto hundredths = static_cast<std::int64_t>(std::llround(value * 100));
    const std::int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
    if (hundredths < 0) out += '-';
    append_number(out, magnitude / 100);
    const std::int64_t fraction = magnitude % 100;
    if (fraction == 0) return;
    out += '.';
    out += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) out += static_cast<char>('0' + fraction % 10);
}

// Text as XML character data or an attribute value.
void append_xml_text(std::string& out, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const char byte = text[at];
        const std::size_t length = utf8_sequence_length(text.data() + at, text.size() - at);
        if (length == 0 || (length == 1 && static_cast<unsigned char>(byte) < 0x20 && byte != '\t')) {
            out += "\xef\xbf\xbd";
            ++at;
            continue;
        }
        if (byte == '&')
            out += "&amp;";
        else if (byte == '<')
            out += "&lt;";
        else if (byte == '>')
            out += "&gt;";
        else if (byte == '"')
            out += "&quot;";
        else
            out.append(text.data() + at, length);
        at += length;
    }
}

void append_title(std::string& out, std::string_view text) {
    out += "<title>";
    append_xml_text(out, text);
    out += "</title>";
}

// `name="value"` with a leading space.
void append_attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    append_coordinate(out, value);
    out += '"';
}

void append_rect(std::string& out, double x, double y, double width, double height, const char* fill) {
    out += "<rect";
    append_attribute(out, "x", x);
    append_attribute(out, "y", y);
    append_attribute(out, "width", width);
    append_attribute(out, "height", height);
    out += " fill=\"";
    out += fill;
    out += '"';
}

void append_label(std::string& out, double x, double y, double size, const char* anchor, std::string_view text) {
    out += "<text";
    append_attribute(out, "x", x);
    append_attribute(out, "y", y);
    append_attribute(out, "font-size", size);
    out += " text-anchor=\"";
    out += anchor;
    out += "\">";
    append_xml_text(out, text);
    out += "</text>\n";
}

// The tick step: 1, 2 or 5 times a power of ten, for ten ticks at most.
std::int64_t tick_step(std::int64_t span) {
    for (std::int64_t power = 1;; power *= 10)
        for (const std::int64_t factor : {1, 2, 5})
            if (span / (factor * power) <= 10 || power > INT64_MAX / 100) return factor * power;
}

class picture {
public:
    picture(const instance& source, const schedule& plan, const schedule_report& report, const activity_naming& naming,
            resource_labels labels, std::string& svg)
        : source_(source), plan_(plan), report_(report), naming_(naming), labels_(labels), svg_(svg) {
        activities_ = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
        resources_ = static_cast<std::size_t>(source.resource_count > 0 ? source.resource_count : 0);
        // An activity given a mode it lacks is drawn as a mark of no duration.
        chosen_ = chosen_modes(source, plan);
        std::int64_t earliest = 0, latest = 1;
        for (std::size_t activity = 0; activity < activities_; ++activity) {
            earliest = std::min(earliest, plan.starts[activity]);
            latest = std::max(latest, finish(activity));
        }
        time_from_ = earliest;
        time_to_ = latest;
        scale_ = chart_width / static_cast<double>(latest - earliest);
        gantt_ = activities_ <= gantt_activity_limit;
        row_ = gantt_ && activities_ > 0 ? std::clamp(2400.0 / static_cast<double>(activities_), 1.0, 16.0) : 0;
    }

    void draw(const picture_title& title) {
        std::size_t profiles = 0, totals = 0;
        for (std::size_t resource = 0; resource < resources_; ++resource) {
            profiles += kind_of(source_, resource) != resource_kind::nonrenewable;
            totals += kind_of(source_, resource) != resource_kind::renewable;
        }
        const double gantt_height = gantt_ ? row_ * static_cast<double>(activities_) : 24;
        profiles_top_ = gantt_top + gantt_height + 24;
        totals_top_ = profiles_top_ + profile_section * static_cast<double>(profiles);
        const double height = totals_top_ + nonrenewable_section * static_cast<double>(totals) + 30;
        const double width = left_margin + chart_width + right_margin;

        svg_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
        append_attribute(svg_, "width", width);
        append_attribute(svg_, "height", height);
        svg_ += " viewBox=\"0 0 ";
        append_coordinate(svg_, width);
        svg_ += ' ';
        append_coordinate(svg_, height);
        svg_ += "\" font-family=\"sans-serif\">\n";
        std::string heading(title.instance);
        heading += ": makespan " + std::to_string(report_.makespan) + ", ";
        if (report_.feasible) {
            heading += "feasible";
        } else {
            heading += "infeasible (" + std::to_string(report_.violation_count) +
                       (report_.violation_count == 1 ? " violation)" : " violations)");
        }
        if (!title.reference.empty()) heading += ", reference " + std::string(title.reference);
        if (!title.gap.empty()) heading += ", gap " + std::string(title.gap) + " %";
        append_title(svg_, heading);
        svg_ += '\n';
        const bool arcs =
            std::any_of(report_.violations.begin(), report_.violations.end(), [](const schedule_violation& violation) {
                return violation.what == schedule_violation::kind::arc;
            });
        if (arcs) {
            svg_ += "<defs><marker id=\"arrow\" viewBox=\"0 0 8 8\" refX=\"7\" refY=\"4\" markerWidth=\"7\" "
                    "markerHeight=\"7\" orient=\"auto\"><path d=\"M0,0 L8,4 L0,8 z\" fill=\"";
            svg_ += violation_colour;
            svg_ += "\"/></marker></defs>\n";
        }
        append_rect(svg_, 0, 0, width, height, "#ffffff");
        svg_ += "/>\n";
        append_label(svg_, 12, 26, 16, "start", heading);
        // The time axis's lines end where the totals, which have no time, begin.
        draw_axis(totals_top_ - (totals != 0 ? 6 : 0));
        if (gantt_) {
            draw_gantt();
        } else {
            append_label(svg_, left_margin, gantt_top + 16, 12, "start",
                         std::to_string(activities_) + " activities: past " + std::to_string(gantt_activity_limit) +
                             " the chart of activities is left out, the resource profiles shown alone");
        }
        draw_profiles();
        draw_totals();
        append_label(svg_, 12, height - 10, 11, "start",
                     "bars: activities; areas: resource use; dashed: capacity; red: violations (hover for the "
                     "finding)");
        svg_ += "</svg>\n";
    }

private:
    static constexpr std::size_t none = no_mode;

    std::int64_t duration(std::size_t activity) const {
        return chosen_[activity] == none ? 0 : std::int64_t{source_.durations[chosen_[activity]]};
    }
    std::int64_t finish(std::size_t activity) const { return plan_.starts[activity] + duration(activity); }
    std::int64_t demand(std::size_t activity, std::size_t resource) const {
        return chosen_[activity] == none ? 0 : std::int64_t{source_.demands[chosen_[activity] * resources_ + resource]};
    }
    double x_of(std::int64_t time) const { return left_margin + static_cast<double>(time - time_from_) * scale_; }
    double row_middle(std::size_t activity) const { return gantt_top + row_ * (static_cast<double>(activity) + 0.5); }
    std::string resource_name(std::size_t resource) const {
        message_text text;
        append_resource(text, source_, resource, labels_);
        return std::string(text.view());
    }
    // The text of the first violation kept of kind `what` that `matches`.
    template <typename predicate> const message_text* kept(schedule_violation::kind what, predicate matches) const {
        for (const schedule_violation& violation : report_.violations)
            if (violation.what == what && matches(violation)) return &violation.text;
        return nullptr;
    }

    void draw_axis(double bottom) {
        const std::int64_t step = tick_step(time_to_ - time_from_);
        std::int64_t tick = time_from_ >= 0 ? 0 : -((-time_from_ + step - 1) / step) * step;
        svg_ += "<g stroke=\"";
        svg_ += grid_colour;
        svg_ += "\" stroke-width=\"1\">";
        std::string labels;
        for (; tick <= time_to_; tick += step) {
            if (tick < time_from_) continue;
            const double x = x_of(tick);
            svg_ += "<line";
            append_attribute(svg_, "x1", x);
            append_attribute(svg_, "y1", gantt_top - 6);
            append_attribute(svg_, "x2", x);
            append_attribute(svg_, "y2", bottom);
            svg_ += "/>";
            append_label(labels, x, gantt_top - 10, 11, "middle", std::to_string(tick));
        }
        svg_ += "</g>\n";
        svg_ += labels;
    }

    void draw_gantt() {
        const bool labelled = row_ >= 10;
        const double bar = std::max(1.0, row_ * 0.75);
        if (labelled) {
            append_label(svg_, left_margin - 8, gantt_top - 10, 11, "end",
                         naming_.word != nullptr ? naming_.plural : "activities");
        }
        svg_ += "<g fill=\"";
        svg_ += bar_colour;
        svg_ += "\">\n";
        std::string labels, marks;
        for (std::size_t activity = 0; activity < activities_; ++activity) {
            const double top = row_middle(activity) - bar / 2;
            const std::int64_t start = plan_.starts[activity];
            message_text name;
            append_activity(name, source_, naming_, static_cast<std::int64_t>(activity));
            if (has_modes(source_) && chosen_[activity] != none)
                name.append(", mode ").append_number(plan_.modes[activity]);
            name.append(": ").append_number(start).append(" to ").append_number(finish(activity));
            if (duration(activity) == 0) {
                append_rect(marks, x_of(start) - 1, top, 2, bar, mark_colour);
                marks += '>';
                append_title(marks, name.view());
                marks += "</rect>\n";
            } else {
                svg_ += "<rect";
                append_attribute(svg_, "x", x_of(start));
                append_attribute(svg_, "y", top);
                append_attribute(svg_, "width", static_cast<double>(duration(activity)) * scale_);
                append_attribute(svg_, "height", bar);
                svg_ += '>';
                append_title(svg_, name.view());
                svg_ += "</rect>\n";
            }
            if (labelled) {
                std::string label =
                    std::to_string(activity_number(source_, naming_, static_cast<std::int64_t>(activity)));
                if (modes_of(source_, activity) > 1 && chosen_[activity] != none)
                    label += " m" + std::to_string(plan_.modes[activity]);
                append_label(labels, left_margin - 8, row_middle(activity) + 4, std::min(11.0, row_ - 4), "end", label);
            }
        }
        svg_ += "</g>\n";
        svg_ += marks;
        svg_ += labels;
        // The violations of activities and arcs, over the bars.
        for (const schedule_violation& violation : report_.violations) {
            if (violation.what == schedule_violation::kind::arc) {
                svg_ += "<path d=\"M";
                append_coordinate(svg_, x_of(violation.from));
                svg_ += ',';
                append_coordinate(svg_, row_middle(violation.activity));
                svg_ += " L";
                append_coordinate(svg_, x_of(violation.to));
                svg_ += ',';
                append_coordinate(svg_, row_middle(violation.successor));
                svg_ += "\" fill=\"none\" stroke=\"";
                svg_ += violation_colour;
                svg_ += "\" stroke-width=\"2\" marker-end=\"url(#arrow)\">";
            } else if (violation.what == schedule_violation::kind::mode ||
                       violation.what == schedule_violation::kind::start) {
                const std::size_t activity = violation.activity;
                const double width = std::max(2.0, static_cast<double>(duration(activity)) * scale_);
                svg_ += "<rect";
                append_attribute(svg_, "x", x_of(plan_.starts[activity]) - (duration(activity) == 0 ? 1 : 0));
                append_attribute(svg_, "y", row_middle(activity) - bar / 2);
                append_attribute(svg_, "width", width);
                append_attribute(svg_, "height", bar);
                svg_ += " fill=\"none\" stroke=\"";
                svg_ += violation_colour;
                svg_ += "\" stroke-width=\"2\">";
            } else {
                continue;
            }
            append_title(svg_, violation.text.view());
            svg_ += violation.what == schedule_violation::kind::arc ? "</path>\n" : "</rect>\n";
        }
    }

    void draw_profiles() {
        const use_sweep use(source_, plan_, chosen_);
        std::vector<std::pair<std::int64_t, std::int64_t>> changes; // time, use from then
        double top = profiles_top_;
        for (std::size_t resource = 0; resource < resources_; ++resource) {
            if (kind_of(source_, resource) == resource_kind::nonrenewable) continue;
            changes.clear();
            std::int64_t before = 0, peak = 0;
            use.sweep(resource, [&](std::int64_t time, std::int64_t, std::int64_t used) {
                if (used != before) changes.emplace_back(time, used);
                before = used;
                peak = std::max(peak, used);
            });
            draw_profile(resource, top, changes, peak);
            top += profile_section;
        }
    }

    void draw_profile(std::size_t resource, double top,
                      const std::vector<std::pair<std::int64_t, std::int64_t>>& changes, std::int64_t peak) {
        const std::int64_t capacity = source_.capacities[resource];
        const double base = top + profile_height;
        const double unit = profile_height / static_cast<double>(std::max<std::int64_t>({capacity, peak, 1}));
        const auto y_of = [&](std::int64_t use) { return base - static_cast<double>(use) * unit; };
        append_label(svg_, left_margin - 8, top + 14, 12, "end", resource_name(resource));
        append_label(svg_, left_margin - 8, top + 30, 11, "end", "capacity " + std::to_string(capacity));
        svg_ += "<line";
        append_attribute(svg_, "x1", left_margin);
        append_attribute(svg_, "y1", base);
        append_attribute(svg_, "x2", left_margin + chart_width);
        append_attribute(svg_, "y2", base);
        svg_ += " stroke=\"#999999\"/>\n";

        // The step area: changes within a quarter pixel of one another are
        // drawn as one, at their highest use.
        svg_ += "<path d=\"M";
        append_coordinate(svg_, left_margin);
        svg_ += ',';
        append_coordinate(svg_, base);
        bool pending = false;
        double pending_x = 0;
        std::int64_t pending_high = 0, pending_last = 0;
        const auto flush = [&] {
            svg_ += " H";
            append_coordinate(svg_, pending_x);
            svg_ += " V";
            append_coordinate(svg_, y_of(pending_high));
            if (pending_last != pending_high) {
                svg_ += " V";
                append_coordinate(svg_, y_of(pending_last));
            }
        };
        for (const auto& [time, use] : changes) {
            const double x = x_of(time);
            if (pending && std::floor(x * 4) == std::floor(pending_x * 4)) {
                pending_high = std::max(pending_high, use);
                pending_last = use;
                continue;
            }
            if (pending) flush();
            pending = true;
            pending_x = x;
            pending_high = pending_last = use;
        }
        if (pending) flush();
        svg_ += " H";
        append_coordinate(svg_, left_margin + chart_width);
        svg_ += " V";
        append_coordinate(svg_, base);
        svg_ += " Z\" fill=\"";
        svg_ += use_colour;
        // An outline of changes packed closer than a pixel would hide the area.
        if (changes.size() < static_cast<std::size_t>(chart_width)) {
            svg_ += "\" stroke=\"";
            svg_ += bar_colour;
            svg_ += "\" stroke-width=\"1";
        }
        svg_ += "\"><title>";
        append_xml_text(svg_, resource_name(resource));
        svg_ += ": use over time</title></path>\n";

        // The stretches over the capacity, those closer than half a pixel
        // joined, shaded and their use above the capacity filled.
        struct stretch {
            std::int64_t from, to, high;
        };
        std::vector<stretch> over;
        for (std::size_t index = 0; index < changes.size(); ++index) {
            const auto [time, use] = changes[index];
            if (use <= capacity) continue;
            const std::int64_t end = index + 1 < changes.size() ? changes[index + 1].first : time_to_;
            if (!over.empty() && x_of(time) - x_of(over.back().to) < 0.5) {
                over.back().to = end;
                over.back().high = std::max(over.back().high, use);
            } else {
                over.push_back({time, end, use});
            }
        }
        for (const stretch& part : over) {
            const double x = x_of(part.from);
            const double width = std::max(1.0, x_of(part.to) - x);
            append_rect(svg_, x, top, width, profile_height, violation_colour);
            svg_ += " fill-opacity=\"0.15\"/>\n";
            append_rect(svg_, x, y_of(part.high), width, y_of(capacity) - y_of(part.high), violation_colour);
            svg_ += '>';
            const message_text* text = kept(schedule_violation::kind::renewable, [&](const schedule_violation& found) {
                return found.resource == resource && found.from >= part.from && found.from < part.to;
            });
            if (text != nullptr) {
                append_title(svg_, text->view());
            } else {
                append_title(svg_, resource_name(resource) + ": up to " + std::to_string(part.high) +
                                       " used in periods " + std::to_string(part.from) + "\xe2\x80\x93" +
                                       std::to_string(part.to - 1) + ", above its capacity " +
                                       std::to_string(capacity));
            }
            svg_ += "</rect>\n";
        }
        draw_capacity_line(y_of(capacity), left_margin, left_margin + chart_width, false);
    }

    void draw_capacity_line(double y, double from, double to, bool vertical) {
        svg_ += "<line";
        append_attribute(svg_, "x1", vertical ? y : from);
        append_attribute(svg_, "y1", vertical ? from : y);
        append_attribute(svg_, "x2", vertical ? y : to);
        append_attribute(svg_, "y2", vertical ? to : y);
        svg_ += " stroke=\"#000000\" stroke-width=\"1.5\" stroke-dasharray=\"6 3\"/>\n";
    }

    void draw_totals() {
        double top = totals_top_;
        for (std::size_t resource = 0; resource < resources_; ++resource) {
            if (kind_of(source_, resource) == resource_kind::renewable) continue;
            std::int64_t total = 0;
            for (std::size_t activity = 0; activity < activities_; ++activity) total += demand(activity, resource);
            const std::int64_t capacity = source_.capacities[resource];
            const double unit = chart_width / static_cast<double>(std::max<std::int64_t>({capacity, total, 1}));
            const double bar_top = top + 6, bar_height = 18;
            append_label(svg_, left_margin - 8, bar_top + 13, 12, "end", resource_name(resource));
            const std::int64_t within = std::min(total, std::max<std::int64_t>(capacity, 0));
            append_rect(svg_, left_margin, bar_top, static_cast<double>(within) * unit, bar_height, use_colour);
            svg_ += '>';
            append_title(svg_, resource_name(resource) + ": the chosen modes need " + std::to_string(total) +
                                   " of its capacity " + std::to_string(capacity));
            svg_ += "</rect>\n";
            if (total > capacity) {
                append_rect(svg_, left_margin + static_cast<double>(within) * unit, bar_top,
                            static_cast<double>(total - within) * unit, bar_height, violation_colour);
                svg_ += '>';
                const message_text* text =
                    kept(schedule_violation::kind::nonrenewable,
                         [&](const schedule_violation& found) { return found.resource == resource; });
                append_title(svg_, text != nullptr
                                       ? std::string(text->view())
                                       : resource_name(resource) + ": the chosen modes need " + std::to_string(total) +
                                             ", above its capacity " + std::to_string(capacity));
                svg_ += "</rect>\n";
            }
            const double capacity_x = left_margin + static_cast<double>(std::max<std::int64_t>(capacity, 0)) * unit;
            draw_capacity_line(capacity_x, bar_top - 3, bar_top + bar_height + 3, true);
            append_label(svg_, left_margin, bar_top + bar_height + 14, 11, "start",
                         std::to_string(total) + " of " + std::to_string(capacity) + " over the project");
            top += nonrenewable_section;
        }
    }

    const instance& source_;
    const schedule& plan_;
    const schedule_report& report_;
    const activity_naming& naming_;
    resource_labels labels_;
    std::string& svg_;
    std::size_t activities_ = 0, resources_ = 0;
    std::vector<std::size_t> chosen_;
    std::int64_t time_from_ = 0, time_to_ = 1;
    double scale_ = 1, row_ = 0;
    bool gantt_ = true;
    double profiles_top_ = 0, totals_top_ = 0;
};

} // namespace

void draw_schedule(const instance& source, const schedule& plan, const schedule_report& report,
                   const activity_naming& naming, resource_labels labels, const picture_title& title,
                   std::string& svg) {
    picture(source, plan, report, naming, labels, svg).draw(title);
}

} // namespace converter
