#pragma once

namespace ulmaro {

class OnboardingState;
class OverlayViewModel;

/// Which parts of the panel's face show for a view-model state, top to bottom. Kept apart
/// from the toolkit so the presence rules can be checked as a table.
struct OverlaySections {
    /// The panel's body: the onboarding step, the preparing screen or the search layout.
    enum class Body { onboarding, preparing, search };
    Body body = Body::search;

    // The search layout's places; all false for the other bodies.
    bool firstRunIntro = false;
    bool filterBar = false;
    bool fdaPrompt = false;
    /// The cheat sheet covers the result area.
    bool cheatSheet = false;
    bool firstRunCompletion = false;
    bool fdaBanner = false;

    /// The header is laid out only with the search layout; otherwise it stays collapsed
    /// (no height, no clicks), so that the search field keeps its place in the tree.
    bool headerCollapsed() const { return body != Body::search; }

    /// `onboarding` may be null (no flow). Preparing shows only while there is no engine
    /// and the state has not failed: a failure is said by the result area instead of a
    /// promise that never comes true.
    static OverlaySections of(const OverlayViewModel& model, const OnboardingState* onboarding);

    friend bool operator==(const OverlaySections&, const OverlaySections&) = default;
};

} // namespace ulmaro
