// `wendlar-cli travel`: shows or sets the machine's travel per axis (Travel.cfg).
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/CliCommands.h"
#include "config/Travel.h"

namespace wendlar::cli {

namespace {

struct TravelOptions {
  std::string x, y, z, w;
};

void Print(const TravelState& travel) {
  std::cout << "X " << TravelRangeText(travel.X) << "\n"
            << "Y " << TravelRangeText(travel.Y) << "\n"
            << "Z " << TravelRangeText(travel.Z) << "\n"
            << "W " << TravelRangeText(travel.W) << "\n";
}

int Travel(const TravelOptions& options, const CliContext& context) {
  const HomeDir home = context.Home();
  TravelState travel;
  std::string why;
  // A file that cannot be read is not overwritten: what it held may be all the operator has.
  if (LoadTravel(home, travel, &why) == TravelLoad::Refused) {
    std::cerr << "travel: " << why << "\n";
    return 2;
  }
  const std::pair<const std::string*, AxisTravel*> given[] = {
      {&options.x, &travel.X}, {&options.y, &travel.Y}, {&options.z, &travel.Z}, {&options.w, &travel.W}};
  bool changed = false;
  for (const auto& [text, axis] : given) {
    if (text->empty()) continue;
    // Parsed before anything is written: one bad range leaves the file as it was.
    const auto range = ParseTravelRange(*text);
    if (!range) {
      std::cerr << "travel: \"" << *text << "\" is not MIN:MAX in whole steps with MIN below MAX\n";
      return 2;
    }
    *axis = *range;
    changed = true;
  }
  if (changed && !SaveTravel(home, travel, &why)) {
    std::cerr << "travel: " << kTravelFile << " could not be written: " << why << "\n";
    return 2;
  }
  if (!travel.Any()) {
    std::cout << "No travel set (" << kTravelFile << ")\n";
    return 0;
  }
  Print(travel);
  return 0;
}

}  // namespace

// Registers "travel [--x MIN:MAX] [--y ...] [--z ...] [--w ...]"; with no option it prints the
// travel. Steps are counted from home as the controller counts them (Z and W down positive).
void RegisterTravelCommand(CommandTable& commands) {
  auto options = std::make_shared<TravelOptions>();
  CLI::App* sub = commands.Add("travel", "Show or set the machine's travel per axis, in steps from home",
                               [options](const CliContext& context) { return Travel(*options, context); });
  sub->add_option("--x", options->x, "X travel, MIN:MAX in steps");
  sub->add_option("--y", options->y, "Y travel, MIN:MAX in steps");
  sub->add_option("--z", options->z, "Z travel, MIN:MAX in steps (down positive)");
  sub->add_option("--w", options->w, "W travel (fourth axis), MIN:MAX in steps (down positive)");
}

}  // namespace wendlar::cli
