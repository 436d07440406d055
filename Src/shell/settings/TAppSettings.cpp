#include "shell/settings/TAppSettings.h"

#include <algorithm>

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

TAppSettings FittedToArea(TAppSettings S, int AreaWidth, int AreaHeight) {
  S.Width = std::min(S.Width, AreaWidth);
  S.Height = std::min(S.Height, AreaHeight);
  for (int *Column : {&S.Column1, &S.Column2, &S.Column3, &S.Column4})
    *Column = std::min(*Column, AreaWidth);
  return S;
}
