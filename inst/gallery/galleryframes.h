#pragma once
// The plates of the toolkit's frames and controls.

class GallerySheet;

void addFramePlates(GallerySheet& sheet);
