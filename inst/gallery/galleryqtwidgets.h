#pragma once
// The plates of plain Qt widgets as the toolkit's style sheet dresses them.

class GallerySheet;

void addButtonPlates(GallerySheet& sheet);
void addQtWidgetPlates(GallerySheet& sheet);
