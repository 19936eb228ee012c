// A file that bears the page's name in another room's folder is not that page: refused too.
void Peek() {
    control<QLabel>("Label_Edid_Header")->clear();
}
