' Operators: arithmetic and its result types, Empty and Null, comparison, logic, concatenation
Check "add integers", 1 + 2, 3
Check "integer overflows to long", 32767 + 1, CLng(32768)
Check "long overflows to double", 2147483647 + 1, CDbl(2147483648)
Check "byte stays byte", CByte(1) + CByte(2), CByte(3)
Check "byte overflows to integer", CByte(200) + CByte(100), 300
Check "single times integer", CSng(1.5) * 2, CSng(3)
Check "single times long is double", CSng(1.5) * CLng(2), CDbl(3)
Check "division is double", 4 / 2, CDbl(2)
Check "integer division", 7 \ 2, 3
Check "integer division of negatives truncates", -7 \ 2, -3
Check "mod sign follows dividend", -7 Mod 3, -1
Check "mod of doubles is a long", 7.5 Mod 2, CLng(0)
Check "power", 2 ^ 10, CDbl(1024)
Check "negative base", (-2) ^ 3, CDbl(-8)
Check "unary minus binds tighter than power", -2 ^ 2, CDbl(4)
Check "power is left associative", 2 ^ 3 ^ 2, CDbl(64)
Check "precedence", 1 + 2 * 3 - 4 / 2, CDbl(5)
Check "integer division before mod", 10 \ 3 Mod 2, 1
Check "empty plus text", Empty + "x", "x"
Check "text plus empty", "x" + Empty, "x"
Check "empty plus empty", Empty + Empty, 0
Check "empty plus byte keeps byte", Empty + CByte(5), CByte(5)
Check "empty plus boolean keeps boolean", Empty + True, True
Check "empty minus one", Empty - 1, -1
Check "empty times number", Empty * 5, 0
Check "null plus number", Null + 1, Null
Check "null times zero", Null * 0, Null
Check "null concatenated", "a" & Null & "b", "ab"
Check "text plus number adds", "3" + 4, CDbl(7)
Check "text plus text joins", "3" + "4", "34"
Check "text times text", "3" * "4", CDbl(12)
Check "concatenate numbers", 3 & 4, "34"
Check "concatenate boolean", True & "", "Vero"
Check "currency times currency", CCur("0,1") * CCur("0,7"), CCur("0,07")
Check "currency divided is double", CCur(1) / CCur(4), 0.25
Check "currency plus double is double", CCur(1) + 0.5, 1.5
Check "currency plus integer", CCur(1) + 1, CCur(2)
Check "date plus number", #1/2/2026# + 1, #1/3/2026#
Check "date minus date is double", #1/3/2026# - #1/1/2026#, CDbl(2)
Check "equal numbers of two types", 1 = CDbl(1), True
Check "text compares as text", "10" < "9", True
Check "number below text", 10 < "9", True
Check "empty equals zero", Empty = 0, True
Check "empty equals empty text", Empty = "", True
Check "null comparison is null", Null = Null, Null
Check "backwards not equal", 1 >< 2, True
Check "equals less", 2 =< 2, True
Check "equals greater", 3 => 2, True
Check "and on booleans", True And False, False
Check "and bitwise", 12 And 10, 8
Check "or bitwise", 12 Or 3, 15
Check "xor", 5 Xor 3, 6
Check "eqv", True Eqv True, True
Check "imp", False Imp False, True
Check "not on integer", Not 0, -1
Check "not on byte stays byte", Not CByte(1), CByte(254)
Check "false and null", False And Null, False
Check "true or null", True Or Null, True
Check "true and null", True And Null, Null
Check "not null", Not Null, Null
Check "not binds looser than comparison", Not 1 = 2, True
Check "is on same object", Nothing Is Nothing, True
CheckError "text plus number that is not", "x = ""a"" + 1", 13
CheckError "division by zero", "x = 1 / 0", 11
CheckError "zero by zero overflows", "x = 0 / 0", 6
CheckError "integer division by zero", "x = 1 \ 0", 11
CheckError "mod zero", "x = 1 Mod 0", 11
CheckError "long overflow in integer division", "x = 1E10 \ 3", 6
CheckError "currency overflow", "x = CCur(""922337203685477,5807"") + 1", 6
CheckError "is on numbers", "x = 1 Is 1", 424
Summary "operators"
