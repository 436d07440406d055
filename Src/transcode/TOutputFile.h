// Output file and output stream records of the transcoding engine.
#pragma once

struct TOutputStream;
struct TOutputFile;
