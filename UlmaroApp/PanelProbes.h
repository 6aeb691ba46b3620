#pragma once

namespace ulmaro {

class AppCoordinator;
class OverlayPanel;
class OverlayView;

/// The probe file's lines about the panel, for the end-to-end tests (`TestMode::probe`):
/// "results N" per result list; "searchable" once; "index <state>" per change of the
/// index's state (loading, indexing, refreshing, ready, failed); and, while the panel
/// shows, "step <name>" per first-run step on screen ("step none" once the flow is over),
/// each followed by "button <x> <y> <title>" for the step's buttons, their centres in the
/// panel window's coordinates; with times asked for (`TestMode::probeTimes`), "engine <µs>"
/// (the search's own time) before each "results N". GUI thread only.
namespace PanelProbes {

/// Installs them for as long as `view` lives; the coordinator must outlive it.
void install(OverlayPanel& panel, OverlayView& view, AppCoordinator& coordinator);

} // namespace PanelProbes
} // namespace ulmaro
