#include "shell/settings/TAppSettings.h"

TAppSettings DefaultAppSettings(int ListWidth, int DesignWidth, int DesignHeight) {
  TAppSettings S;
  S.Column1 = ListWidth / 4;
  S.Column2 = ListWidth / 5;
  S.Column3 = ListWidth / 4;
  S.Column4 = ListWidth / 4;
  S.Height = DesignHeight;
  S.Width = DesignWidth;
  return S;
}
