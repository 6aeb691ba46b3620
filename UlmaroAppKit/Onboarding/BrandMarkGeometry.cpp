#include "UlmaroAppKit/Onboarding/BrandMarkGeometry.h"

#include <cmath>
#include <numbers>
#include <sstream>

namespace ulmaro {

double BrandMarkGeometry::shortRayOuterRadius() const {
    const double in = rayInnerRadius();
    return in + (longRayOuterRadius() - in) * shortRatio;
}

BrandMarkGeometry::Ray BrandMarkGeometry::ray(int k, double step) const {
    // Angles count anticlockwise from +x with y up; the canvas has y down.
    const double angle = std::numbers::pi / 2 + k * std::numbers::pi / 4 -
                         rotationDegrees(step) * std::numbers::pi / 180;
    const double c = std::cos(angle), s = std::sin(angle);
    const double centre = size_ / 2;
    const bool isLong = k % 2 == 0;
    const double in = rayInnerRadius();
    const double out = isLong ? longRayOuterRadius() : shortRayOuterRadius();
    return {{centre + in * c, centre - in * s},
            {centre + out * c, centre - out * s},
            isLong ? 1.0 : shortRayOpacity};
}

std::array<BrandMarkGeometry::Ray, BrandMarkGeometry::rayCount>
BrandMarkGeometry::rays(double step) const {
    std::array<Ray, rayCount> all;
    for (int k = 0; k < rayCount; ++k)
        all[std::size_t(k)] = ray(k, step);
    return all;
}

std::string BrandMarkGeometry::svg() const {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(6);
    const auto rgb = [](Rgb c) {
        return "rgb(" + std::to_string(c.red) + "," + std::to_string(c.green) + "," +
               std::to_string(c.blue) + ")";
    };
    const double m = margin(), t = tileSide();
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << size_ << "\" height=\"" << size_
        << "\" viewBox=\"0 0 " << size_ << ' ' << size_ << "\">\n"
        << "  <defs><linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"" << m
        << "\" y1=\"" << m << "\" x2=\"" << m + t << "\" y2=\"" << m + t << "\">"
        << "<stop offset=\"0\" stop-color=\"" << rgb(gradientStart) << "\"/>"
        << "<stop offset=\"1\" stop-color=\"" << rgb(gradientEnd) << "\"/>"
        << "</linearGradient></defs>\n"
        << "  <rect x=\"" << m << "\" y=\"" << m << "\" width=\"" << t << "\" height=\"" << t
        << "\" rx=\"" << cornerRadius() << "\" fill=\"url(#tile)\"/>\n"
        << "  <g stroke=\"#fff\" stroke-width=\"" << rayWidth() << "\" stroke-linecap=\"round\">\n";
    for (const Ray& r : rays())
        out << "    <line x1=\"" << r.inner.x << "\" y1=\"" << r.inner.y << "\" x2=\"" << r.outer.x
            << "\" y2=\"" << r.outer.y << "\" stroke-opacity=\"" << r.opacity << "\"/>\n";
    out << "  </g>\n"
        << "  <circle cx=\"" << size_ / 2 << "\" cy=\"" << size_ / 2 << "\" r=\""
        << dotDiameter() / 2 << "\" fill=\"#fff\"/>\n"
        << "</svg>\n";
    return out.str();
}

} // namespace ulmaro
