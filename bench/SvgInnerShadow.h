#pragma once
// The inner shadow the boxes draw, as an SVG filter for the librsvg peers. The box fills the
// outside of its outline, blurred and moved, inside the outline, in a layer composited at the
// shadow's alpha that casts the same shadow again from its own pixels; so the filter draws
// that layer (black at `opacity`) over its own shadow (black at opacity squared), both inside
// the outline. Applied to an element filled black, it draws only the shadow.
#include <sstream>
#include <string>

inline std::string svgInnerShadowFilter(
    const char* id, double dx, double dy, double sigma, double opacity)
{
    std::ostringstream f;
    f.precision(9);
    f << "<filter id='" << id << "' x='-5%' y='-5%' width='110%' height='110%'>"
      << "<feComponentTransfer in='SourceAlpha' result='outside'>"
      << "<feFuncA type='table' tableValues='1 0'/></feComponentTransfer>"
      << "<feGaussianBlur in='outside' stdDeviation='" << sigma << "'/>"
      << "<feOffset dx='" << dx << "' dy='" << dy << "'/>"
      << "<feComposite in2='SourceAlpha' operator='in' result='layer'/>"
      << "<feGaussianBlur in='layer' stdDeviation='" << sigma << "'/>"
      << "<feOffset dx='" << dx << "' dy='" << dy << "'/>"
      << "<feComposite in2='SourceAlpha' operator='in' result='cast'/>"
      << "<feFlood flood-color='black' flood-opacity='" << opacity * opacity << "'/>"
      << "<feComposite in2='cast' operator='in' result='under'/>"
      << "<feFlood flood-color='black' flood-opacity='" << opacity << "'/>"
      << "<feComposite in2='layer' operator='in'/>"
      << "<feComposite in2='under' operator='over'/></filter>";
    return f.str();
}
