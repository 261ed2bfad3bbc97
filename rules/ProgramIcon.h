#pragma once
// The program's icon as shapes: a rev counter's dial with ten ticks over 270 degrees (the last three
// red), an orange needle and its hub. The window, the About box and the icon theme's pictures are
// painted from these shapes, and the scalable icon is written from them as SVG.
#include <string>
#include <vector>

struct TIconColour {
  int R = 0, G = 0, B = 0;
};

// A filled circle, with an outline when StrokeWidth is above 0 (centred on the edge).
struct TIconCircle {
  double X = 0, Y = 0, Radius = 0;
  TIconColour Fill;
  double StrokeWidth = 0;
  TIconColour Stroke;
};

// A straight line with round ends.
struct TIconStroke {
  double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, Width = 0;
  TIconColour Colour;
};

struct TProgramIcon {
  TIconCircle Face;
  std::vector<TIconStroke> Strokes;  // the ten ticks clockwise from the lowest value, then the needle
  TIconCircle Hub;
};

// The shapes for a square of size x size, in the order they are painted.
TProgramIcon ProgramIconShapes(double size);
// The scalable icon: the shapes at 256 x 256 as an SVG document.
std::string ProgramIconSvg();
