"""The Kestrin icon: an open folder searched by a magnifier.

The picture is drawn on a 256 x 256 canvas (x to the right, y downwards) from the
shapes below, painted in order, each over the ones before it. Every image size is
rendered from these shapes, so the design lives here and nowhere else. Strokes are
kept thick enough (at least 16 units, one pixel at 16 x 16) that the smallest image
still reads as a folder and a magnifier.

Shapes:
  ("rect",    x0, y0, x1, y1, radius, colour)    rounded rectangle
  ("circle",  cx, cy, r, colour)                 filled disc
  ("ring",    cx, cy, r, width, colour)          circle outline centred on radius r
  ("capsule", x0, y0, x1, y1, width, colour)     thick line with round ends
  ("arc",     cx, cy, r, width, a0, a1, colour)  part of a ring from angle a0 to a1
                                                 (degrees, clockwise from +x), round ends
Colours are (red, green, blue, alpha), 0..255.
"""

OUTLINE = (62, 40, 10, 255)         # dark brown edge around the folder
FOLDER_BACK = (214, 150, 30, 255)   # the back sheet and its tab
FOLDER_FRONT = (250, 202, 70, 255)  # the front sheet
PAPER = (255, 255, 255, 255)        # a sheet of paper peeking out of the folder
LENS_RIM = (28, 40, 66, 255)        # magnifier rim and handle
LENS_GLASS = (170, 220, 255, 235)   # the glass, slightly see-through
GLINT = (255, 255, 255, 230)        # the glass's highlight

# The folder's edges lie on multiples of 16 units, the pixel grid of the 16 x 16 image
# (and every third pixel of the 48 x 48 one), so its outline stays sharp when small.
SHAPES = [
    # Back sheet with its tab, outlined.
    ("rect", 0, 32, 112, 96, 16, OUTLINE),
    ("rect", 0, 48, 240, 240, 18, OUTLINE),
    ("rect", 16, 48, 96, 96, 6, FOLDER_BACK),
    ("rect", 16, 64, 224, 224, 6, FOLDER_BACK),
    # A sheet of paper inside the folder.
    ("rect", 32, 80, 208, 160, 4, PAPER),
    # Front sheet, outlined.
    ("rect", 0, 112, 240, 240, 18, OUTLINE),
    ("rect", 16, 128, 224, 224, 6, FOLDER_FRONT),
    # Magnifier: handle first, then the glass and its rim over it.
    ("capsule", 204, 204, 246, 246, 40, LENS_RIM),
    ("circle", 160, 160, 60, LENS_GLASS),
    ("ring", 160, 160, 56, 24, LENS_RIM),
    ("arc", 160, 160, 36, 12, 195, 265, GLINT),
]
