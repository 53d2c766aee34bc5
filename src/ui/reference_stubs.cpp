// Stand-ins for the reference file loading and the search page handlers of
// TForm1 until their own file provides them; delete this file then.
#include "ui/main_window.h"

void TForm1::LoadCarList() {}

void TForm1::LoadDtcTextFiles() {}

void TForm1::ComboBox3Change() {}

void TForm1::CheckListBox1ClickCheck(int) {}

void TForm1::CheckBox6Click() {}
