#pragma once
// The plates of the toolkit's own painted widgets.

class GallerySheet;

void addInstrumentPlates(GallerySheet& sheet);
