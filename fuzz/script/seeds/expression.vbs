(1 + &HFF) * -2 ^ 2 Mod 7 \ 3 & "x" = #1/2/2026# Or Not Null Imp 5
