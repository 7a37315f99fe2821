-- c
/*+ hint */ select 1;
-1
//x
--- 
/* a
-- */
b
