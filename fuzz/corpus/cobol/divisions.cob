000100 IDENTIFICATION DIVISION.
      * c
       DATA DIVISION.
       ENVIRONMENT DIVISION.
      D    DISPLAY 1.
      -    "lit".
123456
        PROCEDURE DIVISION.
       PROCEDURE DIVISION USING A.
       procedure division.
      d x
                                                                        ABCDEFGH
       ‚ 
