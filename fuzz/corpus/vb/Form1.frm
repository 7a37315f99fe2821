VERSION 5.00
Begin VB.Form Form1
   Caption         =   "Price"
   ClientHeight    =   3000
   ClientWidth     =   4500
End
Attribute VB_Name = "Form1"
Option Explicit

' Shows the price with tax.
Private Sub cmdShow_Click()
    lblTotal.Caption = Format(WithTax(CCur(txtPrice.Text)), "#,##0")
End Sub
